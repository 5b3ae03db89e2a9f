// The done dialog DONEDLG that closes a confirmed setup.
#pragma once

void ShowDoneDialog();

// The one way to leave a result alone on purpose.
#pragma once

// Much of the run is attempted without acting on each failure: a registry
// or file change that Windows refuses is logged, and refused registry
// changes are counted (RefusedRegistryChanges), but the run goes on. Such a
// call stands inside BestEffort, so that a result dropped anywhere else is
// a mistake: functions whose result decides what happens next are
// [[nodiscard]], and the compiler names every call that ignores one.
template <typename Result>
inline void BestEffort(const Result&) {}

// The field lists of the state parts every screen shares: the auto-run clock, and a helper that
// lists a base class of a state as one composite field.
#pragma once

#include "common/state_archive.h"
#include "common/step_driver.h"

#include <concepts>
#include <type_traits>

namespace rpn {

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, StepClock>
void visitFields(A& a, S& s) {
  a(s.phase, s.interval);
}

// The Base part of a state, const when the state is: a base class's fields go into the list as one
// composite field.
template <class Base, class S> auto& baseOf(S& s) {
  if constexpr (std::is_const_v<S>)
    return static_cast<const Base&>(s);
  else
    return static_cast<Base&>(s);
}

} // namespace rpn

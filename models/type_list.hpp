// A list of types, walked at compile time: the build's models (models/list.hpp) and
// their charts are such lists.
#pragma once

namespace models {

template <class... Ts>
struct List {
  static constexpr int size = static_cast<int>(sizeof...(Ts));
  // f.template operator()<T>() for each element, in order.
  template <class F>
  static void each(F&& f) {
    (f.template operator()<Ts>(), ...);
  }
  // The same elements in another list template (a test framework's, say).
  template <template <class...> class Other>
  using as = Other<Ts...>;
};

}  // namespace models

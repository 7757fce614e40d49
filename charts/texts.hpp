// Compile-time texts of a chart that carry its own names: the names themselves
// (c1_Harnvale_method_dispatcher, is_active_c1_Harnvale), the dispatcher's error
// format and the encoded description of the saved state. Built from the model's
// name and the catalogue column, so that the names live in one place only.
#pragma once

#include <array>
#include <cstddef>

#include "charts/column.hpp"

namespace charts::text {

constexpr std::size_t length(const char* s) {
  std::size_t n = 0;
  while (s[n] != '\0')
    ++n;
  return n;
}

template <std::size_t K>
constexpr std::size_t total_length(const std::array<const char*, K>& parts) {
  std::size_t n = 0;
  for (const char* p : parts)
    n += length(p);
  return n;
}

// A terminated text of L characters.
template <std::size_t L>
struct Fixed {
  char data[L + 1] = {};
  constexpr const char* c_str() const { return data; }
  static constexpr std::size_t size() { return L; }
};

template <std::size_t L, std::size_t K>
constexpr Fixed<L> join(const std::array<const char*, K>& parts) {
  Fixed<L> out{};
  std::size_t at = 0;
  for (const char* p : parts)
    for (std::size_t i = 0; p[i] != '\0'; ++i)
      out.data[at++] = p[i];
  out.data[at] = '\0';
  return out;
}

// The decimal digits of a positive number.
template <int V>
constexpr auto decimal() {
  static_assert(V > 0);
  constexpr std::size_t digits = [] {
    std::size_t n = 0;
    for (int v = V; v > 0; v /= 10)
      ++n;
    return n;
  }();
  Fixed<digits> out{};
  int v = V;
  for (std::size_t i = digits; i-- > 0; v /= 10)
    out.data[i] = static_cast<char>('0' + v % 10);
  return out;
}

// The names of chart n of model M: every one is its chart prefix cn and the model's
// name around a fixed word.
template <class Col>
struct ChartNames {
  static constexpr auto number = decimal<Col::column.number>();

  static constexpr std::array<const char*, 5> dispatcher_parts = {
      "c", number.c_str(), "_", Col::Model::name, "_method_dispatcher"};
  // c1_Harnvale_method_dispatcher
  static constexpr auto dispatcher = join<total_length(dispatcher_parts)>(dispatcher_parts);

  static constexpr std::array<const char*, 4> active_flag_parts = {"is_active_c", number.c_str(),
                                                                   "_", Col::Model::name};
  // is_active_c1_Harnvale, also the name of the flag in the saved state
  static constexpr auto active_flag = join<total_length(active_flag_parts)>(active_flag_parts);
};

template <class Col>
struct ChartTexts {
  using Names = ChartNames<Col>;

  // Format of the dispatcher's error for a method code it does not handle.
  static constexpr std::array<const char*, 3> dispatcher_parts = {
      "Stateflow Internal Error:\nError calling ", Names::dispatcher.c_str(),
      ".\nCan't handle method %d.\n"};
  static constexpr auto dispatcher_error = join<total_length(dispatcher_parts)>(dispatcher_parts);

  // Encoded description of the saved state: a 1x2 struct array with the fields
  // 'type', 'srcId', 'name', 'auxInfo'; element 0 is y1, element 1 the active flag.
  static constexpr std::array<const char*, 9> sim_state_parts = {
      "100 ", "S1x2",           "'type','srcId','name','auxInfo'", "{",    "{M[1],M[7],T\"y1\",}",
      ",",    "{M[8],M[0],T\"", Names::active_flag.c_str(),        "\",}}"};
  static constexpr auto sim_state_info = join<total_length(sim_state_parts)>(sim_state_parts);
};

}  // namespace charts::text

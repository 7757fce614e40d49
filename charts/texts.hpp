// Compile-time texts of a chart that carry its own names: the dispatcher's error
// format and the encoded description of the saved state. Built from the
// catalogue column, so that the names live in one place only.
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

template <class Col>
struct ChartTexts {
  static constexpr const ChartColumn& C = Col::column;

  // Format of the dispatcher's error for a method code it does not handle.
  static constexpr std::array<const char*, 3> dispatcher_parts = {
      "Stateflow Internal Error:\nError calling ", C.dispatcher_name,
      ".\nCan't handle method %d.\n"};
  static constexpr auto dispatcher_error = join<total_length(dispatcher_parts)>(dispatcher_parts);

  // Encoded description of the saved state: a 1x2 struct array with the fields
  // 'type', 'srcId', 'name', 'auxInfo'; element 0 is y1, element 1 the active flag.
  static constexpr std::array<const char*, 9> sim_state_parts = {"100 ",
                                                                 "S1x2",
                                                                 "'type','srcId','name','auxInfo'",
                                                                 "{",
                                                                 "{M[1],M[7],T\"y1\",}",
                                                                 ",",
                                                                 "{M[8],M[0],T\"",
                                                                 C.active_flag_name,
                                                                 "\",}}"};
  static constexpr auto sim_state_info = join<total_length(sim_state_parts)>(sim_state_parts);
};

}  // namespace charts::text

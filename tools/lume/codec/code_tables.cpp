#include "tools/lume/codec/code_tables.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <span>

#include "tools/lume/codec/huffman_lengths.h"

namespace lume::codec {
namespace {

using Fields = std::vector<HeaderField>;

constexpr int kUnusable = 1 << 20;  // the price of a length-code symbol without a code
constexpr int kRunLimit = kSymbolCount;

// A code length in the short-length encoding: kLengthFieldBits bits, or the
// escape, one 1 per step above it, and a closing 0.
void put_short_length(Fields& fields, int length) {
  if (length < kLengthFieldEscape) {
    fields.push_back({uint32_t(length), kLengthFieldBits});
    return;
  }
  int ones = length - kLengthFieldEscape;
  fields.push_back({kLengthFieldEscape, kLengthFieldBits});
  fields.push_back({((1u << ones) - 1) << 1, uint8_t(ones + 1)});
}

void put_single_symbol(Fields& fields, int symbol, int count_bits) {
  fields.push_back({0, uint8_t(count_bits)});
  fields.push_back({uint32_t(symbol), uint8_t(count_bits)});
}

int last_used(std::span<const uint8_t> lengths) {
  int n = int(lengths.size());
  while (n > 0 && lengths[size_t(n - 1)] == 0) --n;
  return n;
}

// Lengths of a table with at least two used symbols; the gap field (when
// gap_after > 0) skips up to as many zeros as its field holds after that
// many lengths.
void put_short_table(Fields& fields, std::span<const uint8_t> lengths, int count_bits,
                     int gap_after) {
  int n = last_used(lengths);
  fields.push_back({uint32_t(n), uint8_t(count_bits)});
  for (int i = 0; i < n;) {
    put_short_length(fields, lengths[size_t(i)]);
    ++i;
    if (i == gap_after) {
      int gap = 0;
      while (gap < (1 << kGapBits) - 1 && i + gap < n && lengths[size_t(i + gap)] == 0) ++gap;
      fields.push_back({uint32_t(gap), kGapBits});
      i += gap;
    }
  }
}

uint64_t field_bits(const Fields& fields) {
  uint64_t bits = 0;
  for (const HeaderField& field : fields) bits += field.bits;
  return bits;
}

// A table of codes for alphabets whose lengths travel in the short-length
// encoding: single-symbol form when at most one symbol occurs.
void put_code_table(Fields& fields, std::span<uint8_t> lengths, int count_bits, int gap_after) {
  int used = used_symbols(lengths);
  if (used >= 2) {
    put_short_table(fields, lengths, count_bits, gap_after);
    return;
  }
  int symbol = used == 0 ? 0 : int(std::find_if(lengths.begin(), lengths.end(),
                                                [](uint8_t l) { return l != 0; }) -
                                   lengths.begin());
  put_single_symbol(fields, symbol, count_bits);
  std::fill(lengths.begin(), lengths.end(), uint8_t{0});
}

// One step of sending the literal/length lengths: a length-code symbol and
// the value of its extra field.
struct LengthStep {
  uint8_t symbol;
  uint16_t extra;
};

int step_extra_bits(int symbol) {
  return symbol == kShortRunSymbol ? kShortRunBits : symbol == kLongRunSymbol ? kLongRunBits : 0;
}

// The cheapest way to send runs of 1 to kRunLimit zeros, for given prices
// of the three zero symbols (extra fields included).
struct RunPlan {
  std::array<int, kRunLimit + 1> cost{};
  std::array<uint16_t, kRunLimit + 1> step{};  // zeros taken by the first symbol

  explicit RunPlan(const std::array<int, 3>& price) {
    int cheapest_tail = 0;  // argmin of cost[0 .. z - kLongRunMin], for symbol 2
    for (int z = 1; z <= kRunLimit; ++z) {
      int best = price[0] + cost[size_t(z - 1)], take = 1;
      for (int k = kShortRunMin; k <= std::min(z, int(kShortRunMax)); ++k)
        if (price[1] + cost[size_t(z - k)] < best) best = price[1] + cost[size_t(z - k)], take = k;
      if (z >= kLongRunMin) {
        int tail = z - kLongRunMin;
        if (cost[size_t(tail)] < cost[size_t(cheapest_tail)]) cheapest_tail = tail;
        if (z - cheapest_tail <= kLongRunMax && price[2] + cost[size_t(cheapest_tail)] < best)
          best = price[2] + cost[size_t(cheapest_tail)], take = z - cheapest_tail;
      }
      cost[size_t(z)] = std::min(best, kUnusable);
      step[size_t(z)] = uint16_t(take);
    }
  }

  void emit(int zeros, std::vector<LengthStep>& steps) const {
    while (zeros > 0) {
      int take = step[size_t(zeros)];
      if (take == 1)
        steps.push_back({kSingleZeroSymbol, 0});
      else if (take <= kShortRunMax)
        steps.push_back({kShortRunSymbol, uint16_t(take - kShortRunMin)});
      else
        steps.push_back({kLongRunSymbol, uint16_t(take - kLongRunMin)});
      zeros -= take;
    }
  }
};

std::vector<LengthStep> plan_steps(std::span<const uint8_t> lengths, const RunPlan& runs) {
  std::vector<LengthStep> steps;
  int n = last_used(lengths);
  for (int i = 0; i < n;) {
    if (lengths[size_t(i)] != 0) {
      steps.push_back({uint8_t(lengths[size_t(i)] + kLengthSymbolBias), 0});
      ++i;
      continue;
    }
    int zeros = 0;
    while (lengths[size_t(i + zeros)] == 0) ++zeros;
    runs.emit(zeros, steps);
    i += zeros;
  }
  return steps;
}

// The literal/length lengths sent through the length code: the length
// code's table, the count field, and what the steps cost under that code.
struct LengthCodePlan {
  Fields fields;
  std::array<uint8_t, kLengthCodeCount> lengths{};
  uint64_t bits = 0;
};

LengthCodePlan send_steps(const std::vector<LengthStep>& steps, int count) {
  std::array<uint32_t, kLengthCodeCount> freqs{};
  for (const LengthStep& step : steps) ++freqs[step.symbol];
  int used = int(std::count_if(freqs.begin(), freqs.end(), [](uint32_t f) { return f != 0; }));

  // Long length-code lengths cost header bits of their own, so the limit
  // that minimises the total is often well below 16.
  LengthCodePlan best;
  best.bits = UINT64_MAX;
  int shortest_limit = std::max(1, int(std::bit_width(unsigned(std::max(used, 1) - 1))));
  for (int limit = shortest_limit; limit <= kMaxCodeLength; ++limit) {
    if (limit > 9 && limit < kMaxCodeLength) continue;
    LengthCodePlan plan;
    limited_code_lengths(freqs, limit, plan.lengths);
    put_code_table(plan.fields, plan.lengths, kLengthCodeCountBits, kGapAfter);
    plan.fields.push_back({uint32_t(count), kSymbolCountBits});
    plan.bits = field_bits(plan.fields);
    for (size_t s = 0; s < freqs.size(); ++s)
      plan.bits += uint64_t(freqs[s]) * uint64_t(plan.lengths[s] + step_extra_bits(int(s)));
    if (plan.bits < best.bits) best = std::move(plan);
  }
  return best;
}

void put_steps(Fields& fields, const std::vector<LengthStep>& steps,
               const std::array<uint8_t, kLengthCodeCount>& lengths) {
  std::array<uint16_t, kLengthCodeCount> codes{};
  canonical_codes(lengths, codes);
  for (const LengthStep& step : steps) {
    if (lengths[step.symbol] != 0) fields.push_back({codes[step.symbol], lengths[step.symbol]});
    int extra = step_extra_bits(step.symbol);
    if (extra != 0) fields.push_back({step.extra, uint8_t(extra)});
  }
}

// What the length code's three zero symbols cost under lengths, in bits
// with their extra bits; a symbol without a code cannot be used, unless it is
// the single symbol a one-symbol table names.
std::array<int, 3> zero_symbol_prices(const std::array<uint8_t, kLengthCodeCount>& lengths,
                                      int single_symbol) {
  std::array<int, 3> price{};
  for (int s = 0; s < 3; ++s) {
    int bits = lengths[size_t(s)];
    if (bits == 0) bits = s == single_symbol ? 0 : kUnusable;
    price[size_t(s)] = bits + step_extra_bits(s);
  }
  return price;
}

// Tries zero runs with all three symbols, without symbol 2, and with
// symbol 0 alone, each refined against the code it produced; keeps the
// cheapest header.
void put_symbol_lengths(Fields& fields, std::span<const uint8_t> lengths) {
  const std::array<std::array<int, 3>, 3> starts = {{{5, 5 + 4, 6 + 9}, {3, 4 + 4, kUnusable},
                                                     {1, kUnusable, kUnusable}}};
  int count = last_used(lengths);
  LengthCodePlan best;
  std::vector<LengthStep> best_steps;
  best.bits = UINT64_MAX;
  for (const auto& start : starts) {
    std::array<int, 3> price = start;
    for (int round = 0; round < 3; ++round) {
      std::vector<LengthStep> steps = plan_steps(lengths, RunPlan(price));
      LengthCodePlan plan = send_steps(steps, count);
      if (plan.bits < best.bits) best = plan, best_steps = steps;
      int single = used_symbols(plan.lengths) == 0 ? steps.front().symbol : -1;
      std::array<int, 3> next = zero_symbol_prices(plan.lengths, single);
      if (next == price) break;
      price = next;
    }
  }
  fields.insert(fields.end(), best.fields.begin(), best.fields.end());
  put_steps(fields, best_steps, best.lengths);
}

}  // namespace

CodeTables build_code_tables(const SymbolStats& stats) {
  CodeTables tables;
  limited_code_lengths(stats.symbols, kMaxCodeLength, tables.symbol_lengths);
  limited_code_lengths(stats.slots, kMaxCodeLength, tables.slot_lengths);

  Fields& fields = tables.header;
  if (used_symbols(tables.symbol_lengths) == 1) {
    // One literal/length symbol: its codes take no bits, and the length
    // code is never consulted.
    int symbol = int(std::find_if(tables.symbol_lengths.begin(), tables.symbol_lengths.end(),
                                  [](uint8_t l) { return l != 0; }) -
                     tables.symbol_lengths.begin());
    put_single_symbol(fields, 0, kLengthCodeCountBits);
    put_single_symbol(fields, symbol, kSymbolCountBits);
    tables.symbol_lengths.fill(0);
  } else {
    put_symbol_lengths(fields, tables.symbol_lengths);
  }
  put_code_table(fields, tables.slot_lengths, kSlotCountBits, 0);
  tables.header_bits = field_bits(fields);
  canonical_codes(tables.symbol_lengths, tables.symbol_codes);
  canonical_codes(tables.slot_lengths, tables.slot_codes);
  return tables;
}

uint64_t symbol_bits(const CodeTables& tables, const SymbolStats& stats) {
  uint64_t bits = 0;
  for (size_t s = 0; s < stats.symbols.size(); ++s)
    bits += uint64_t(stats.symbols[s]) * tables.symbol_lengths[s];
  for (size_t s = 0; s < stats.slots.size(); ++s)
    bits += uint64_t(stats.slots[s]) * uint64_t(tables.slot_lengths[s] + slot_extra_bits(int(s)));
  return bits;
}

void write_header(BitWriter& out, const CodeTables& tables) {
  for (const HeaderField& field : tables.header) out.put(field.value, field.bits);
}

}  // namespace lume::codec

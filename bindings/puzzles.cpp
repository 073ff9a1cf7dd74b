// search_npuzzle, search_hanoi and search_wordladder: the built-in puzzles.
// Hanoi and N-puzzle states reach Python as tuples of ints, words as str.

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "batch.hpp"
#include "bytes.hpp"
#include "entry_points.hpp"
#include "prepared.hpp"
#include "quellostrin/domains/hanoi.hpp"
#include "quellostrin/domains/npuzzle.hpp"
#include "quellostrin/domains/npuzzle_pdb.hpp"
#include "quellostrin/domains/wordladder.hpp"
#include "quellostrin/memory.hpp"
#include "runner.hpp"

namespace quellostrin::py {
namespace {

// ---- search_hanoi

struct HanoiArgs : SearchArgs {
  std::uint64_t disks = 0;
  std::uint64_t pegs = 3;
};

using HP = Params<HanoiArgs>;
using HS = SearchParams<HanoiArgs>;

constexpr auto kSearchHanoi =
    signature<HanoiArgs>("search_hanoi",
                         R"(Solve the **Towers of Hanoi** with `disks` disks over `pegs` pegs (default 3).

Start = every disk on peg 0; goal = every disk on the last peg. A state in the
result is a tuple `peg_of_disk[d]` (disk 0 = smallest). `heuristic` is
`"misplaced"` (default), `"zero"`, or a callable `h(state, goal) -> float`.
The classic 3-peg optimum is `2^disks − 1` moves.)",
                         HP::required<&HanoiArgs::disks, to_u64>("disks"), HS::algorithm, HS::heuristic,
                         HP::optional<&HanoiArgs::pegs, to_u64>("pegs"), HS::options, HS::max_memory);

constexpr HeuristicTable<HanoiMisplaced, Zero> kHanoiHeuristics{
    "misplaced",
    "unknown hanoi heuristic: '{}'. Use misplaced, zero, or a callable",
    {{"misplaced", HanoiMisplaced{}}, {"zero", Zero{}}}};

PyObject* search_hanoi(ModuleState& state, const HanoiArgs& a) {
  if (a.disks == 0) throw ValueErr("disks must be \u2265 1");
  if (a.pegs < 3) throw ValueErr("pegs must be \u2265 3");
  if (a.pegs > kMaxHanoiPegs) {
    throw ValueErr(quellostrin::detail::format("pegs must be between 3 and {}, got {}", kMaxHanoiPegs, a.pegs));
  }
  const Hanoi hanoi = Hanoi::with_pegs(a.disks, a.pegs);
  // A state holds a byte per disk and is copied on every push: refuse a count
  // whose one state could not even be held, before allocating it.
  const std::uint64_t bytes = Hanoi::state_bytes(a.disks);
  if (bytes > physical_memory() || bytes > SmallBytes::max_size()) {
    const std::string message =
        "disks=" + std::to_string(a.disks) + " is too large: a Hanoi state needs " + std::to_string(bytes) + " bytes";
    PyErr_SetString(PyExc_MemoryError, message.c_str());
    throw_py_error();
  }
  return run_search(state, hanoi, hanoi.start(), hanoi.goal(), a, kHanoiHeuristics);
}

// ---- search_npuzzle

// A board given as a sequence of ints, read as unsigned 64-bit values (a
// negative int wraps to a huge one, which the permutation check refuses).
// `length` is the sequence's length even when its items were not read.
struct Board {
  std::uint64_t length = 0;
  std::vector<std::uint64_t> values;
};

// At most 256 cells fit in a byte per tile: a longer sequence is refused as
// soon as its length is read, before any item is.
Board to_tiles(PyObject* obj, const char* name) {
  const auto n = static_cast<std::uint64_t>(sequence_size(obj, name));
  if (n > kMaxPuzzleCells) throw ValueErr("tiles length must be at most 256 (a side of at most 16)");
  Board board{n, {}};
  board.values.reserve(static_cast<std::size_t>(n));
  for (std::uint64_t i = 0; i < n; ++i) {
    PyRef item = PyRef::steal(PySequence_GetItem(obj, static_cast<Py_ssize_t>(i)));
    if (!item) raise_arg_error(name);
    const long long v = PyLong_AsLongLong(item.get());  // int or index protocol; floats refused
    if (v == -1 && PyErr_Occurred()) raise_arg_error(name);
    board.values.push_back(static_cast<std::uint64_t>(v));
  }
  return board;
}

// None, or a board; one too long for any puzzle keeps only its length, which
// cannot match the tiles'.
std::optional<Board> to_goal(PyObject* obj, const char* name) {
  if (obj == Py_None) return std::nullopt;
  const auto n = static_cast<std::uint64_t>(sequence_size(obj, name));
  if (n > kMaxPuzzleCells) return Board{n, {}};
  return to_tiles(obj, name);
}

struct NPuzzleArgs : SearchArgs {
  Board tiles;
  std::optional<Board> goal;
};

using NP = Params<NPuzzleArgs>;
using NS = SearchParams<NPuzzleArgs>;

constexpr auto kSearchNPuzzle =
    signature<NPuzzleArgs>("search_npuzzle",
                           R"(Solve a sliding-tile **N-puzzle** (3×3 → 8-puzzle, 4×4 → 15-puzzle, …).

`tiles` is the flat, row-major start state with `0` for the blank; its length
must be a perfect square. `goal` defaults to the canonical `1, 2, …, n−1, 0`.
States in the result are tuples of ints. `heuristic` is `"manhattan"`
(default), `"misplaced"`, `"zero"`, or a callable `h(state, goal) -> float`.
Raises if the configuration is not solvable into the goal (parity).)",
                           NP::required<&NPuzzleArgs::tiles, to_tiles>("tiles"), NS::algorithm, NS::heuristic,
                           NP::optional<&NPuzzleArgs::goal, to_goal>("goal"), NS::options, NS::max_memory);

SmallBytes as_state(const Board& board) { return SmallBytes(board.values.begin(), board.values.end()); }

PyObject* search_npuzzle(ModuleState& state, const NPuzzleArgs& a) {
  const std::uint64_t n = a.tiles.length;
  const auto side = npuzzle_side_for(n);
  if (!side) throw ValueErr("tiles length must be a non-zero perfect square (9, 16, 25, \u2026)");
  check_permutation(a.tiles.values, n, "tiles");
  const NPuzzle puzzle{*side};
  const SmallBytes start = as_state(a.tiles);
  SmallBytes goal = puzzle.goal();
  if (a.goal) {
    if (a.goal->length != n) throw ValueErr("goal must have the same length as tiles");
    check_permutation(a.goal->values, n, "goal");
    goal = as_state(*a.goal);
  }
  if (!puzzle.is_solvable(start.bytes(), goal.bytes())) {
    throw ValueErr("this configuration is not solvable into the goal (parity)");
  }
  const HeuristicTable<PuzzleManhattan, PuzzleMisplaced, Zero> heuristics{
      "manhattan",
      "unknown npuzzle heuristic: '{}'. Use manhattan, misplaced, zero, or a callable h(state, goal) -> float",
      {{"manhattan", PuzzleManhattan{*side}}, {"misplaced", PuzzleMisplaced{}}, {"zero", Zero{}}}};
  return run_search(state, puzzle, start, goal, a, heuristics);
}

// ---- SlidingPuzzle: one goal board, with its pattern databases built once.

struct SlidingCore {
  NPuzzle puzzle;
  SmallBytes goal;
  std::optional<PuzzlePatterns> patterns;  // none from side 5 on without a partition
};

struct SlidingNewArgs {
  PyObject* goal = nullptr;      // borrowed
  PyObject* patterns = nullptr;  // borrowed; None or absent: the default partition
};

using SNP = Params<SlidingNewArgs>;
constexpr auto kSlidingNew =
    signature<SlidingNewArgs>("SlidingPuzzle", "", SNP::required<&SlidingNewArgs::goal, as_object>("goal"),
                              SNP::optional<&SlidingNewArgs::patterns, as_object>("patterns"));

// The goal board: a permutation of 0..n-1 of a perfect-square length.
SmallBytes to_goal_board(PyObject* obj) {
  if (obj == Py_None) type_error("goal", "expected a sequence of ints, got NoneType");
  const std::optional<Board> goal = to_goal(obj, "goal");
  if (goal->length > kMaxPuzzleCells) throw ValueErr("goal length must be at most 256 (a side of at most 16)");
  if (!npuzzle_side_for(goal->length))
    throw ValueErr("goal length must be a non-zero perfect square (9, 16, 25, \u2026)");
  check_permutation(goal->values, goal->length, "goal");
  return as_state(*goal);
}

// `patterns` as groups of tiles: a sequence of sequences of ints.
std::vector<std::vector<std::uint8_t>> to_groups(PyObject* obj, std::uint64_t n) {
  constexpr const char* kExpected = "expected '6-6-3', '7-8', 'whole' or a sequence of groups of tiles, got ";
  if (PyBytes_Check(obj) || !PySequence_Check(obj)) type_error("patterns", kExpected + type_name(obj));
  const Py_ssize_t count = PySequence_Size(obj);
  if (count < 0) raise_arg_error("patterns");
  std::vector<std::vector<std::uint8_t>> groups;
  for (Py_ssize_t g = 0; g < count; ++g) {
    PyRef group = PyRef::steal(PySequence_GetItem(obj, g));
    if (!group) raise_arg_error("patterns");
    if (PyUnicode_Check(group.get()) || !PySequence_Check(group.get())) {
      type_error("patterns", "expected a sequence of tiles for each group, got " + type_name(group.get()));
    }
    const Py_ssize_t size = PySequence_Size(group.get());
    if (size < 0) raise_arg_error("patterns");
    std::vector<std::uint8_t> tiles;
    for (Py_ssize_t j = 0; j < size; ++j) {
      PyRef item = PyRef::steal(PySequence_GetItem(group.get(), j));
      if (!item) raise_arg_error("patterns");
      const long long v = PyLong_AsLongLong(item.get());
      if (v == -1 && PyErr_Occurred()) raise_arg_error("patterns");
      if (v < 1 || static_cast<std::uint64_t>(v) >= n) {
        throw ValueErr(quellostrin::detail::format("patterns: {} is not a tile (tiles are 1..{})", v, n - 1));
      }
      tiles.push_back(static_cast<std::uint8_t>(v));
    }
    groups.push_back(std::move(tiles));
  }
  return groups;
}

SlidingCore build_sliding(ModuleState& state, SlidingNewArgs& a) {
  SmallBytes goal = to_goal_board(a.goal);
  const std::uint64_t side = *npuzzle_side_for(goal.size());
  std::optional<PatternSpec> spec;
  if (!a.patterns || a.patterns == Py_None) {
    spec = default_patterns(side, goal);
  } else if (PyUnicode_Check(a.patterns)) {
    spec = named_patterns(side, goal, to_str(a.patterns, "patterns"));
  } else {
    spec = PatternSpec{side, goal, to_groups(a.patterns, goal.size()), false};
  }
  SlidingCore core{NPuzzle{side}, goal, std::nullopt};
  if (spec) {
    check_patterns(*spec);
    PuzzlePatterns::Build built =
        run_unlocked(state, [&](const StopHook& hook) { return PuzzlePatterns::build(std::move(*spec), hook); });
    core.patterns = std::move(built.patterns);
  }
  return core;
}

constexpr const char* kUnknownSlidingHeuristic =
    "unknown npuzzle heuristic: '{}'. Use manhattan, misplaced, zero, pdb, or a callable h(state, goal) -> float";

HeuristicTable<PuzzleManhattan, PuzzleMisplaced, Zero, PuzzlePdb> sliding_heuristics(const SlidingCore& core) {
  return {"manhattan",
          kUnknownSlidingHeuristic,
          {{"manhattan", PuzzleManhattan{core.puzzle.side}},
           {"misplaced", PuzzleMisplaced{}},
           {"zero", Zero{}},
           {"pdb", PuzzlePdb{core.patterns ? &*core.patterns : nullptr}}}};
}

constexpr const char* kNoDatabases =
    "heuristic 'pdb' needs pattern databases: from side 5 on, make the SlidingPuzzle with patterns=";

// "pdb" on an object that has no databases is refused before anything runs.
void check_pdb(const SlidingCore& core, const SearchArgs& args) {
  if (core.patterns || !args.heuristic || !PyUnicode_Check(args.heuristic)) return;
  if (to_str(args.heuristic, "heuristic") == "pdb") throw ValueErr(kNoDatabases);
}

// A start board of the object's size, checked as search_npuzzle checks it.
SmallBytes sliding_start(const SlidingCore& core, const Board& tiles) {
  const std::uint64_t n = core.goal.size();
  if (tiles.length != n) {
    throw ValueErr(quellostrin::detail::format("tiles must have {} entries, as the goal has", n));
  }
  check_permutation(tiles.values, n, "tiles");
  SmallBytes start = as_state(tiles);
  if (!core.puzzle.is_solvable(start.bytes(), core.goal.bytes())) {
    throw ValueErr("this configuration is not solvable into the goal (parity)");
  }
  return start;
}

struct SlidingQueryArgs : SearchArgs {
  Board tiles;
};

using SQP = Params<SlidingQueryArgs>;
using SQS = SearchParams<SlidingQueryArgs>;
constexpr auto kSlidingSearch =
    signature<SlidingQueryArgs>("search",
                                R"(Solve the puzzle from `tiles` (flat, row-major, `0` for the blank) to the
object's goal. The options, their defaults, checks and result are those of
`search_npuzzle` with this goal, and `heuristic` may also be `"pdb"`: the
object's pattern databases (with `algorithm="ida_star"`, the fast
sliding-tile loop).)",
                                SQP::required<&SlidingQueryArgs::tiles, to_tiles>("tiles"), SQS::algorithm,
                                SQS::heuristic, SQS::options, SQS::max_memory);

PyObject* sliding_search(ModuleState& state, PyObject* self, const SlidingQueryArgs& a) {
  const SlidingCore& core = prepared<SlidingCore>(self);
  const SmallBytes start = sliding_start(core, a.tiles);
  check_pdb(core, a);
  return run_search(state, core.puzzle, start, core.goal, a, sliding_heuristics(core));
}

struct SlidingEstimateArgs {
  Board tiles;
};

constexpr auto kSlidingEstimate = signature<SlidingEstimateArgs>(
    "estimate",
    R"(The `"pdb"` estimate of `tiles` (checked as `search` checks them): a lower
bound on its distance to the goal, exact with the whole board's database.)",
    Params<SlidingEstimateArgs>::required<&SlidingEstimateArgs::tiles, to_tiles>("tiles"));

PyObject* sliding_estimate(ModuleState&, PyObject* self, const SlidingEstimateArgs& a) {
  const SlidingCore& core = prepared<SlidingCore>(self);
  const SmallBytes start = sliding_start(core, a.tiles);
  if (!core.patterns) throw ValueErr(kNoDatabases);
  return PyLong_FromLong(core.patterns->estimate(start.data()));
}

struct SlidingBatchArgs : SearchArgs {
  PyObject* boards = nullptr;  // borrowed
  std::uint64_t workers = 1;
};

using SBP = Params<SlidingBatchArgs>;
using SBS = SearchParams<SlidingBatchArgs>;
constexpr auto kSlidingSearchMany =
    signature<SlidingBatchArgs>("search_many",
                                R"(Solve every start board of `boards` (a sequence of boards, or an integer
array with a board per row) with the same options, and return the
`SearchResult`s in order, each equal to `search` of its board. Every board is
checked first: a bad one raises the error `search` would, naming its index,
and nothing runs. With a built-in heuristic the searches run with the
interpreter lock released, on `workers` native threads (1: the calling
thread); a Python callable needs `workers=1`. Ctrl-C stops every worker.)",
                                SBP::required<&SlidingBatchArgs::boards, as_object>("boards"),
                                SBP::optional<&SlidingBatchArgs::workers, to_u64>("workers"), SBS::algorithm,
                                SBS::heuristic, SBS::options, SBS::max_memory)
        .keyword_only_after(1);

PyObject* sliding_search_many(ModuleState& state, PyObject* self, const SlidingBatchArgs& a) {
  const SlidingCore& core = prepared<SlidingCore>(self);
  const PyRef rows = PyRef::steal(as_rows(a.boards));
  PyObject* boards = rows.get();
  if (PyUnicode_Check(boards) || PyBytes_Check(boards) || !PySequence_Check(boards)) {
    type_error("boards", "expected a sequence of boards, got " + type_name(boards));
  }
  const Py_ssize_t count = PySequence_Size(boards);
  if (count < 0) raise_arg_error("boards");
  std::vector<SmallBytes> starts;
  starts.reserve(static_cast<std::size_t>(count));
  for (Py_ssize_t i = 0; i < count; ++i) {
    starts.push_back(at_query(static_cast<std::size_t>(i), [&] {
      PyRef item = PyRef::steal(PySequence_GetItem(boards, i));
      if (!item) raise_arg_error("boards");
      return sliding_start(core, to_tiles(item.get(), "tiles"));
    }));
  }
  check_pdb(core, a);
  return run_batch<SmallBytes>(state, a, sliding_heuristics(core), starts.size(), a.workers, nullptr,
                               [&](std::size_t i, auto run) { run(core.puzzle, starts[i], core.goal, SameNodes{}); });
}

PyObject* tiles_tuple(const std::vector<std::uint8_t>& tiles) {
  PyRef out = PyRef::steal(PyTuple_New(static_cast<Py_ssize_t>(tiles.size())));
  if (!out) throw_py_error();
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    PyObject* v = PyLong_FromLong(tiles[i]);
    if (!v) throw_py_error();
    PyTuple_SetItem(out.get(), static_cast<Py_ssize_t>(i), v);  // steals
  }
  return out.release();
}

PyObject* sliding_goal(PyObject* self, void*) {
  return guarded_self(self, [&] {
    const SmallBytes& goal = prepared<SlidingCore>(self).goal;
    return tiles_tuple(std::vector<std::uint8_t>(goal.begin(), goal.end()));
  });
}

PyObject* sliding_side(PyObject* self, void*) {
  return guarded_self(self, [&] { return PyLong_FromUnsignedLongLong(prepared<SlidingCore>(self).puzzle.side); });
}

PyObject* sliding_patterns(PyObject* self, void*) {
  return guarded_self(self, [&]() -> PyObject* {
    const SlidingCore& core = prepared<SlidingCore>(self);
    if (!core.patterns) return Py_NewRef(Py_None);
    const auto& groups = core.patterns->spec().groups;
    PyRef out = PyRef::steal(PyTuple_New(static_cast<Py_ssize_t>(groups.size())));
    if (!out) throw_py_error();
    for (std::size_t g = 0; g < groups.size(); ++g) {
      PyTuple_SetItem(out.get(), static_cast<Py_ssize_t>(g), tiles_tuple(groups[g]));  // steals
    }
    return out.release();
  });
}

PyObject* sliding_reflected(PyObject* self, void*) {
  const SlidingCore& core = prepared<SlidingCore>(self);
  return PyBool_FromLong(core.patterns && core.patterns->spec().reflected);
}

PyObject* sliding_nbytes(PyObject* self, void*) {
  const SlidingCore& core = prepared<SlidingCore>(self);
  return PyLong_FromUnsignedLongLong(core.patterns ? core.patterns->bytes() : 0);
}

PyObject* sliding_repr(PyObject* self) {
  return guarded_self(self, [&] {
    const SlidingCore& core = prepared<SlidingCore>(self);
    std::string groups = "none";
    if (core.patterns) {
      groups.clear();
      for (const auto& g : core.patterns->spec().groups)
        groups += (groups.empty() ? "" : "-") + std::to_string(g.size());
      if (groups.empty()) groups = "empty";  // a board of one cell has no tiles
      if (core.patterns->spec().reflected) groups += " reflected";
    }
    const std::string text = "SlidingPuzzle(side=" + std::to_string(core.puzzle.side) + ", patterns=" + groups +
                             ", nbytes=" + std::to_string(core.patterns ? core.patterns->bytes() : 0) + ")";
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  });
}

PyObject* bytes_of(const std::uint8_t* data, std::size_t size) {
  PyObject* out = PyBytes_FromStringAndSize(reinterpret_cast<const char*>(data), static_cast<Py_ssize_t>(size));
  if (!out) throw_py_error();
  return out;
}

// Pickled as (goal, groups, group sizes, reflected, tables): the goal and the
// groups' tiles as a byte each, the sizes as 8 little-endian bytes each, the
// tables back to back; None for the last four without databases.
PyObject* sliding_reduce(PyObject* self, PyObject*) {
  return guarded_self(self, [&] {
    const SlidingCore& core = prepared<SlidingCore>(self);
    PyRef goal = PyRef::steal(bytes_of(core.goal.data(), core.goal.size()));
    if (!core.patterns) {
      return reduce_with(self, kRestoreSlidingPuzzle,
                         PyRef::steal(PyTuple_Pack(5, goal.get(), Py_None, Py_None, Py_False, Py_None)));
    }
    const PatternSpec& spec = core.patterns->spec();
    std::vector<std::uint8_t> tiles;
    std::vector<std::uint64_t> sizes;
    for (const auto& g : spec.groups) {
      tiles.insert(tiles.end(), g.begin(), g.end());
      sizes.push_back(g.size());
    }
    PyRef groups = PyRef::steal(bytes_of(tiles.data(), tiles.size()));
    PyRef group_sizes = PyRef::steal(u64s_to_bytes(sizes));
    PyRef tables = PyRef::steal(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(core.patterns->bytes())));
    if (!tables) throw_py_error();
    char* at = PyBytes_AsString(tables.get());
    for (const auto& t : core.patterns->tables()) {
      std::memcpy(at, t.data(), t.size());
      at += t.size();
    }
    PyObject* reflected = spec.reflected ? Py_True : Py_False;
    return reduce_with(
        self, kRestoreSlidingPuzzle,
        PyRef::steal(PyTuple_Pack(5, goal.get(), groups.get(), group_sizes.get(), reflected, tables.get())));
  });
}

PyGetSetDef sliding_getset[] = {
    {"goal", sliding_goal, nullptr, "The goal board, as a tuple.", nullptr},
    {"side", sliding_side, nullptr, "The side of the board.", nullptr},
    {"patterns", sliding_patterns, nullptr, "The groups of tiles of the pattern databases, or None.", nullptr},
    {"reflected", sliding_reflected, nullptr,
     "Whether the estimate also reads the board reflected about the main diagonal.", nullptr},
    {"nbytes", sliding_nbytes, nullptr, "Bytes of the pattern databases.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef* sliding_methods() {
  static PyMethodDef defs[] = {method_of_class<kSlidingSearch, sliding_search>(),
                               method_of_class<kSlidingSearchMany, sliding_search_many>(),
                               method_of_class<kSlidingEstimate, sliding_estimate>(),
                               {"__reduce__", sliding_reduce, METH_NOARGS, nullptr},
                               {nullptr, nullptr, 0, nullptr}};
  return defs;
}

constexpr const char* kSlidingDoc = R"(SlidingPuzzle(goal, patterns=None)
--

A sliding-tile puzzle with one goal board (`goal`, flat and row-major, `0`
for the blank, side 1 to 16), built once with its additive pattern databases
and searched many times: `search(tiles, ...)` returns what
`search_npuzzle(tiles, goal=goal, ...)` returns, and takes one more
heuristic, `"pdb"`: the sum over groups of tiles of the fewest moves of each
group's own tiles, read from tables built by breadth-first search when the
object is made, a byte per placement of the group's tiles.

`patterns` is None (the whole board up to 3x3, the exact distance; the 6-6-3
partition on 4x4, about 11 MB, built in seconds; none from 5x5 on), `"6-6-3"`
or `"7-8"` on 4x4 (the latter about 580 MB and minutes to build; on 4x4 both
also read the board reflected about the diagonal when the goal's blank is on
it, and take the larger estimate), `"whole"`, or a list of groups of tiles
that holds every tile once. A partition whose tables would not fit in memory
is refused with MemoryError before anything is built; Ctrl-C stops a build.
`estimate(tiles)` gives the "pdb" estimate of a board. Threads may search one
object at once; it pickles with its tables.)";

// ---- search_wordladder

// A str lower-cased by Python's own str.lower() (full Unicode mapping), as
// strict UTF-8.
std::string to_lower_str(PyObject* obj, const char* name) {
  if (!PyUnicode_Check(obj)) type_error(name, "expected str, got " + type_name(obj));
  // By an interned name: the interpreter's method cache is keyed by the name
  // object's address, and a fresh name string per call would take a new
  // entry each time its address changes.
  PyRef method = PyRef::steal(PyUnicode_InternFromString("lower"));
  PyRef lower = method ? PyRef::steal(PyObject_CallMethodObjArgs(obj, method.get(), nullptr)) : PyRef();
  if (!lower) raise_arg_error(name);
  return to_str(lower.get(), name);
}

// Any iterable of str but a str or bytes itself (a list, a set, a generator,
// a NumPy array of str), read once in its own order, each word lower-cased.
std::vector<std::string> to_lower_words(PyObject* obj, const char* name) {
  constexpr const char* kExpected = "expected an iterable of str, got ";
  if (PyUnicode_Check(obj) || PyBytes_Check(obj)) type_error(name, kExpected + type_name(obj));
  PyRef iterator = PyRef::steal(PyObject_GetIter(obj));
  if (!iterator) {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) raise_arg_error(name);
    PyErr_Clear();
    type_error(name, kExpected + type_name(obj));
  }
  std::vector<std::string> words;
  if (PyList_Check(obj) || PyTuple_Check(obj)) words.reserve(static_cast<std::size_t>(PyObject_Size(obj)));
  while (PyRef item = PyRef::steal(PyIter_Next(iterator.get()))) {
    if (!PyUnicode_Check(item.get())) {
      type_error(name, kExpected + type_name(item.get()) + " at index " + std::to_string(words.size()));
    }
    words.push_back(to_lower_str(item.get(), name));
  }
  if (PyErr_Occurred()) raise_arg_error(name);
  return words;
}

struct LadderArgs : SearchArgs {
  std::string start;
  std::string goal;
  std::vector<std::string> words;
};

using LP = Params<LadderArgs>;
using LS = SearchParams<LadderArgs>;

constexpr auto kSearchWordLadder = signature<LadderArgs>(
    "search_wordladder",
    R"(Solve a **word ladder** from `start` to `goal` over a `words` dictionary:
any iterable of str (a list, a set, a generator, a NumPy array of str), read
once. Words of another length than `start` are never reached; `start` and
`goal` need not be in `words`. Each step changes exactly one letter. `heuristic`
is `"hamming"` (default), `"zero"`, or a callable `h(word, goal) -> float`.

Words are lower-cased with `str.lower()` and compared as UTF-8 bytes: lengths
are byte lengths (so "über" and "uber" differ in length), and a step puts one
of the letters `a`–`z` in place of one byte. A non-ASCII character is never
changed, and a letter may replace another ASCII character (`"a-b"` to
`"aab"`) but not the reverse; `"bidirectional"` follows such one-way steps in
their direction.)",
    LP::required<&LadderArgs::start, to_lower_str>("start"), LP::required<&LadderArgs::goal, to_lower_str>("goal"),
    LP::required<&LadderArgs::words, to_lower_words>("words"), LS::algorithm, LS::heuristic, LS::options,
    LS::max_memory);

constexpr HeuristicTable<LadderHamming, Zero> kLadderHeuristics{
    "hamming",
    "unknown wordladder heuristic: '{}'. Use hamming, zero, or a callable",
    {{"hamming", LadderHamming{}}, {"zero", Zero{}}}};

// The word of each node of a ladder query, for a callable heuristic and the
// result: the searches run over word ids.
struct LadderWords {
  const LadderQuery* query;
  std::string operator()(LadderQuery::Node id) const { return std::string(query->word(id)); }
};

// The search every word-ladder entry point ends with, once the dictionary is
// built: over a query that adds the start and goal without changing it.
PyObject* query_ladder(ModuleState& state, const WordLadder& ladder, const std::string& start, const std::string& goal,
                       const SearchArgs& args) {
  if (start.size() != goal.size()) throw ValueErr("start and goal must have the same length");
  const LadderQuery query(ladder, start, goal);
  return run_search(state, query, query.start(), query.goal(), args, kLadderHeuristics, LadderWords{&query});
}

PyObject* search_wordladder(ModuleState& state, LadderArgs& a) {
  if (a.start.size() != a.goal.size()) throw ValueErr("start and goal must have the same length");
  const WordLadder ladder = WordLadder::from_lowercase(std::move(a.words));
  return query_ladder(state, ladder, a.start, a.goal, a);
}

// ---- WordList: a dictionary indexed once, then searched many times.

struct WordListNewArgs {
  std::vector<std::string> words;
};

constexpr auto kWordListNew = signature<WordListNewArgs>(
    "WordList", "", Params<WordListNewArgs>::required<&WordListNewArgs::words, to_lower_words>("words"));

WordLadder new_word_list(ModuleState&, WordListNewArgs& a) { return WordLadder::from_lowercase(std::move(a.words)); }

struct WordQueryArgs : SearchArgs {
  std::string start;
  std::string goal;
};

using WP = Params<WordQueryArgs>;
using WS = SearchParams<WordQueryArgs>;
constexpr auto kWordListSearch = signature<WordQueryArgs>(
    "search",
    R"(Search a ladder from `start` to `goal` (lower-cased; they need not be in
the list). The options, their defaults and the result are those of
`search_wordladder`: this is the same search, without indexing the words
again.)",
    WP::required<&WordQueryArgs::start, to_lower_str>("start"), WP::required<&WordQueryArgs::goal, to_lower_str>("goal"),
    WS::algorithm, WS::heuristic, WS::options, WS::max_memory);

PyObject* word_list_search(ModuleState& state, PyObject* self, const WordQueryArgs& a) {
  return query_ladder(state, prepared<WordLadder>(self), a.start, a.goal, a);
}

struct WordBatchArgs : SearchArgs, BatchOptions {};

using BP = Params<WordBatchArgs>;
using BS = SearchParams<WordBatchArgs>;
constexpr auto kWordListSearchMany = signature<WordBatchArgs>(
    "search_many",
    R"(Search every `(start, goal)` pair of words of `queries` with the same
options, and return the `SearchResult`s in query order, each equal to
`search` of its pair. Every query is checked first: a bad one raises the
error `search` would, naming its index, and nothing runs. With a built-in
heuristic the searches run with the interpreter lock released, on `workers`
native threads (1: the calling thread); a Python callable needs `workers=1`.
Ctrl-C stops every worker.)",
    BP::required<&WordBatchArgs::queries, as_object>("queries"), BP::optional<&WordBatchArgs::workers, to_u64>("workers"),
    BS::algorithm, BS::heuristic, BS::options, BS::max_memory)
        .keyword_only_after(1);

PyObject* word_list_search_many(ModuleState& state, PyObject* self, const WordBatchArgs& a) {
  const WordLadder& ladder = prepared<WordLadder>(self);
  const std::vector<PyRef> items = query_items(as_rows(a.queries));
  std::vector<std::pair<std::string, std::string>> queries;
  queries.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    queries.push_back(at_query(i, [&] {
      auto words = pair_of(items[i].get(), to_lower_str);
      if (words.first.size() != words.second.size()) throw ValueErr("start and goal must have the same length");
      return words;
    }));
  }
  return run_batch<std::string>(state, a, kLadderHeuristics, queries.size(), a.workers, nullptr,
                                [&](std::size_t i, auto run) {
    const auto& [start, goal] = queries[i];
    const LadderQuery query(ladder, start, goal);
    run(query, query.start(), query.goal(), LadderWords{&query});
  });
}

Py_ssize_t word_list_len(PyObject* self) { return static_cast<Py_ssize_t>(prepared<WordLadder>(self).size()); }

PyObject* word_list_repr(PyObject* self) {
  return guarded_self(self, [&] {
    const std::string text = "WordList(" + std::to_string(prepared<WordLadder>(self).size()) + " words)";
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  });
}

// Pickled as (the words back to back as UTF-8 bytes, their byte lengths as
// 8 little-endian bytes each).
PyObject* word_list_reduce(PyObject* self, PyObject*) {
  return guarded_self(self, [&] {
    const std::vector<std::string> words = prepared<WordLadder>(self).words();
    std::string text;
    std::vector<std::uint64_t> lengths;
    lengths.reserve(words.size());
    for (const std::string& w : words) {
      text += w;
      lengths.push_back(w.size());
    }
    PyRef blob = PyRef::steal(PyBytes_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
    PyRef sizes = PyRef::steal(u64s_to_bytes(lengths));
    if (!blob || !sizes) throw_py_error();
    return reduce_with(self, kRestoreWordList, PyRef::steal(PyTuple_Pack(2, blob.get(), sizes.get())));
  });
}

PyMethodDef* word_list_methods() {
  static PyMethodDef defs[] = {method_of_class<kWordListSearch, word_list_search>(),
                               method_of_class<kWordListSearchMany, word_list_search_many>(),
                               {"__reduce__", word_list_reduce, METH_NOARGS, nullptr},
                               {nullptr, nullptr, 0, nullptr}};
  return defs;
}

// Whether `word` is what a WordList keeps of a str: its strict UTF-8 after
// str.lower(), which leaves it as it is.
bool is_lowered_word(const std::string& word) {
  if (std::all_of(word.begin(), word.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::none_of(word.begin(), word.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
  }
  PyRef text = PyRef::steal(PyUnicode_DecodeUTF8(word.data(), static_cast<Py_ssize_t>(word.size()), "strict"));
  if (!text) {
    PyErr_Clear();
    return false;
  }
  return to_lower_str(text.get(), "words") == word;
}

constexpr const char* kWordListDoc = R"(WordList(words)
--

A word-ladder dictionary indexed once and searched many times: `words` is
any iterable of str, lower-cased as `search_wordladder` does.
`WordList(words).search(s, t, ...)`
returns what `search_wordladder(s, t, words, ...)` returns; a start or goal
outside the list is searched without changing the object. `len()` is the
number of distinct words. Threads may search one list at once; it pickles
compactly.)";

}  // namespace

PyMethodDef search_npuzzle_method() { return method<kSearchNPuzzle, search_npuzzle>(); }
PyMethodDef search_hanoi_method() { return method<kSearchHanoi, search_hanoi>(); }
PyMethodDef search_wordladder_method() { return method<kSearchWordLadder, search_wordladder>(); }

std::vector<std::string> hanoi_heuristic_names() { return heuristic_names(kHanoiHeuristics); }
std::vector<std::string> npuzzle_heuristic_names() { return {"manhattan", "misplaced", "zero"}; }
std::vector<std::string> wordladder_heuristic_names() { return heuristic_names(kLadderHeuristics); }

bool add_word_list_type(PyObject* module, ModuleState& state) {
  return add_prepared_class<WordLadder, kWordListNew, new_word_list>(module, state.word_list_type, "quellostrin.quellostrin_native.WordList", kWordListDoc, word_list_repr,
                                        nullptr, word_list_methods(), word_list_len);
}

bool add_sliding_puzzle_type(PyObject* module, ModuleState& state) {
  return add_prepared_class<SlidingCore, kSlidingNew, build_sliding>(
      module, state.sliding_puzzle_type, "quellostrin.quellostrin_native.SlidingPuzzle", kSlidingDoc, sliding_repr,
      sliding_getset, sliding_methods());
}

std::vector<std::string> sliding_puzzle_heuristic_names() {
  return heuristic_names(sliding_heuristics(SlidingCore{NPuzzle{1}, SmallBytes{}, std::nullopt}));
}

PyObject* restore_sliding_puzzle(PyObject* module, PyObject* args) {
  ModuleState& state = state_of(module);
  return guarded(state.internal_error, [&]() -> PyObject* {
    PyObject *goal_bytes, *groups, *sizes, *tables;
    int reflected = 0;
    if (!PyArg_ParseTuple(args, "O!OOpO:_restore_sliding_puzzle", &PyBytes_Type, &goal_bytes, &groups, &sizes,
                          &reflected, &tables)) {
      throw_py_error();
    }
    constexpr const char* kBad = "a pickled SlidingPuzzle is malformed";
    const auto* g = reinterpret_cast<const std::uint8_t*>(PyBytes_AsString(goal_bytes));
    const SmallBytes goal(g, g + PyBytes_Size(goal_bytes));
    const auto side = npuzzle_side_for(goal.size());
    if (!side || goal.size() > kMaxPuzzleCells) throw ValueErr(kBad);
    try {
      check_permutation(goal, goal.size(), "goal");
    } catch (const InputError&) {
      throw ValueErr(kBad);
    }
    SlidingCore core{NPuzzle{*side}, goal, std::nullopt};
    if (groups != Py_None) {
      if (!PyBytes_Check(groups) || !PyBytes_Check(sizes) || !PyBytes_Check(tables)) throw ValueErr(kBad);
      const auto* tiles = reinterpret_cast<const std::uint8_t*>(PyBytes_AsString(groups));
      const auto* data = reinterpret_cast<const std::uint8_t*>(PyBytes_AsString(tables));
      const auto tile_count = static_cast<std::uint64_t>(PyBytes_Size(groups));
      const auto table_bytes = static_cast<std::uint64_t>(PyBytes_Size(tables));
      PatternSpec spec{*side, goal, {}, reflected != 0};
      std::vector<std::vector<std::uint8_t>> parts;
      std::uint64_t at = 0, table_at = 0;
      for (const std::uint64_t size : words_from_bytes(sizes, kBad)) {
        if (size > tile_count - at) throw ValueErr(kBad);
        spec.groups.emplace_back(tiles + at, tiles + at + size);
        at += size;
        const std::uint64_t entries = pattern_entries(goal.size(), size);
        if (entries > table_bytes - table_at) throw ValueErr(kBad);
        parts.emplace_back(data + table_at, data + table_at + entries);
        table_at += entries;
      }
      if (at != tile_count || table_at != table_bytes) throw ValueErr(kBad);
      try {
        core.patterns = PuzzlePatterns::from_tables(std::move(spec), std::move(parts));
      } catch (const InputError&) {
        throw ValueErr(kBad);
      }
    }
    return wrap_prepared(reinterpret_cast<PyTypeObject*>(state.sliding_puzzle_type), std::move(core));
  });
}

PyObject* restore_word_list(PyObject* module, PyObject* args) {
  ModuleState& state = state_of(module);
  return guarded(state.internal_error, [&]() -> PyObject* {
    PyObject *blob, *sizes;
    if (!PyArg_ParseTuple(args, "O!O!:_restore_word_list", &PyBytes_Type, &blob, &PyBytes_Type, &sizes)) {
      throw_py_error();
    }
    constexpr const char* kBad = "a pickled WordList is malformed";
    const std::string_view text(PyBytes_AsString(blob), static_cast<std::size_t>(PyBytes_Size(blob)));
    std::vector<std::string> words;
    std::size_t at = 0;
    for (const std::uint64_t length : words_from_bytes(sizes, kBad)) {
      if (length > text.size() - at) throw ValueErr(kBad);
      words.emplace_back(text.substr(at, length));
      at += length;
      if (!is_lowered_word(words.back())) throw ValueErr(kBad);
    }
    if (at != text.size()) throw ValueErr(kBad);
    return wrap_prepared(reinterpret_cast<PyTypeObject*>(state.word_list_type), WordLadder::from_lowercase(std::move(words)));
  });
}

}  // namespace quellostrin::py

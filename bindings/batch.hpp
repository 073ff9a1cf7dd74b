// search_many: a batch of searches over one prepared domain, with the options
// of one search shared by all of them.
//
// Every query is converted and checked before any search runs; a bad one
// raises the error its own search would, its message prefixed with its index
// ("query 3: ..."), and nothing runs. Then, with a built-in heuristic, the
// searches run with the interpreter lock released: on the calling thread when
// `workers` is 1 (the library starts no thread unless asked), otherwise on
// that many native threads, which take the next query from a shared counter,
// in the dispatch order the caller gives (query order by default). A batch
// waits for its slowest worker, so a caller that can guess which queries are
// long (a grid: how far apart start and goal are) hands those out first, and
// a batch sorted shortest first does not end with one long search running
// alone. The results are in query order whatever the dispatch order.
// With a Python callable the batch keeps the lock and runs on the calling
// thread, and more than one worker is refused.
//
// Stopping: the calling thread runs the signal handlers while the workers
// search (every 20 ms); when one raises (Ctrl-C), a shared flag stops every
// worker at its next poll (every kWorkerPollEvery expansions) and the call
// raises that exception once all have stopped. A worker whose search fails
// (out of memory, a refused negative cycle) stops the others the same way,
// and its error is raised after every worker has stopped.
#pragma once

#include <Python.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "errors.hpp"
#include "prepared.hpp"
#include "py_ref.hpp"
#include "quellostrin/errors.hpp"
#include "result.hpp"
#include "runner.hpp"

namespace quellostrin::py {

// The options every search_many takes on top of a search's.
struct BatchOptions {
  PyObject* queries = nullptr;  // borrowed
  std::uint64_t workers = 1;
};

inline constexpr std::uint64_t kWorkerPollEvery = 4096;
inline constexpr std::uint64_t kMaxWorkers = 1024;

// Runs `check()` for query `index`, prefixing the message of any error it
// raises with "query {index}: " (the type kept, the original as its cause).
template <class F>
auto at_query(std::size_t index, F&& check) {
  const std::string prefix = "query " + std::to_string(index) + ": ";
  try {
    return check();
  } catch (const ValueErr& e) {
    throw ValueErr(prefix + e.what());
  } catch (const InputError& e) {
    throw ValueErr(prefix + e.what());
  } catch (const PyErrSet&) {
    if (!pending_is_ordinary()) throw;
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    PyRef text = PyRef::steal(value ? PyObject_Str(value) : nullptr);
    const char* message = text ? PyUnicode_AsUTF8AndSize(text.get(), nullptr) : nullptr;
    PyErr_Restore(type, value, traceback);
    if (!message) throw;
    const PyRef keep = PyRef::borrow(type);
    chain_pending(keep.get(), prefix + message);
    throw;
  }
}

// The items of the sequence `owned_queries` (a new reference, which this
// takes over), each as a new reference.
inline std::vector<PyRef> query_items(PyObject* owned_queries) {
  const PyRef held = PyRef::steal(owned_queries);
  PyObject* queries = held.get();
  if (PyUnicode_Check(queries) || PyBytes_Check(queries) || !PySequence_Check(queries)) {
    type_error("queries", "expected a sequence of (start, goal) pairs, got " + type_name(queries));
  }
  const Py_ssize_t n = PySequence_Size(queries);
  if (n < 0) raise_arg_error("queries");
  std::vector<PyRef> items;
  items.reserve(static_cast<std::size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyRef item = PyRef::steal(PySequence_GetItem(queries, i));
    if (!item) raise_arg_error("queries");
    items.push_back(std::move(item));
  }
  return items;
}

// `queries` itself, or its rows as lists when it offers `tolist` (a NumPy
// array), so that either reads as a sequence of rows.
inline PyObject* as_rows(PyObject* queries) {
  if (PyObject_HasAttrString(queries, "tolist") && PyObject_HasAttrString(queries, "ndim")) {
    PyObject* rows = PyObject_CallMethod(queries, "tolist", nullptr);
    if (!rows) raise_arg_error("queries");
    return rows;  // a new reference, which the caller's PyRef takes
  }
  return Py_NewRef(queries);
}

// The two items of a query pair, each converted by `convert`.
template <class Convert>
auto pair_of(PyObject* item, Convert convert) {
  if (PyUnicode_Check(item) || !PySequence_Check(item) || PySequence_Size(item) != 2) {
    if (PyErr_Occurred()) PyErr_Clear();
    type_error("queries", "expected a (start, goal) pair, got " + type_name(item));
  }
  PyRef start = PyRef::steal(PySequence_GetItem(item, 0));
  PyRef goal = start ? PyRef::steal(PySequence_GetItem(item, 1)) : PyRef();
  if (!goal) raise_arg_error("queries");
  auto s = convert(start.get(), "start");
  auto t = convert(goal.get(), "goal");
  return std::pair{std::move(s), std::move(t)};
}

// Runs `count` searches and returns their Python SearchResults, in order.
// `query(i, run)` builds query i's domain, start, goal and names (all checked
// already) and calls `run(graph, start, goal, names)` with them; it runs
// with the lock released unless the search calls Python, and on any thread.
// Each searching thread borrows one workspace of `pool` (when not null).
// `dispatch`, when not empty, is a permutation of 0..count-1: the order in
// which worker threads take the queries (the calling thread alone keeps
// query order).
template <class Node, class Table, class Query>
PyObject* run_batch(ModuleState& state, const SearchArgs& args, const Table& table, std::size_t count,
                    std::uint64_t workers, WorkspacePool* pool, Query&& query,
                    const std::vector<std::size_t>& dispatch = {}) {
  const ResolvedSearch r = resolve_search(args, table);
  if (workers < 1 || workers > kMaxWorkers) {
    throw ValueErr("workers must be between 1 and " + std::to_string(kMaxWorkers));
  }
  if (workers > 1 && r.callable) {
    throw ValueErr("workers > 1 needs a built-in heuristic: a Python callable runs one search at a time, "
                   "under the interpreter lock");
  }
  std::vector<std::optional<SearchResult<Node>>> results(count);
  ErrorSlot slot(state.internal_error);
  // Taken with the lock held, before any thread starts; given back the same
  // way when the guards end.
  std::vector<BorrowedWorkspace> borrowed;
  if (pool) {
    for (std::uint64_t w = 0; w < std::min<std::uint64_t>(workers, std::max<std::size_t>(count, 1)); ++w) {
      borrowed.emplace_back(*pool);
    }
  }
  auto workspace = [&](std::size_t w) { return w < borrowed.size() ? borrowed[w].get() : nullptr; };

  if (r.callable || workers == 1) {
    // The calling thread runs every search: polled as a single search is.
    const bool locked = static_cast<bool>(r.callable);
    std::optional<GilRelease> unlocked;
    if (!locked) unlocked.emplace();
    detail::CancelPoll cancel{&slot, unlocked ? &*unlocked : nullptr, locked ? kSignalPollEvery : 1};
    AlgoOptions options = r.options;
    options.limits.hook = {&detail::CancelPoll::poll, &cancel, locked ? 1 : kSignalPollEvery, r.time_limit};
    options.workspace = workspace(0);
    for (std::size_t i = 0; i < count && !slot.has_error(); ++i) {
      query(i, [&](const auto& graph, const auto& start, const auto& goal, const auto& names) {
        results[i] = detail::search_once(r, table, slot, graph, start, goal, names, options);
      });
    }
  } else {
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable finished;
    std::size_t running = 0;
    std::exception_ptr failure;
    auto poll = [](void* flag) { return static_cast<std::atomic<bool>*>(flag)->load(std::memory_order_relaxed); };
    auto work = [&](std::size_t w) {
      AlgoOptions options = r.options;
      options.limits.hook = {poll, &stop, kWorkerPollEvery, r.time_limit};
      options.workspace = workspace(w);
      try {
        while (!stop.load(std::memory_order_relaxed)) {
          const std::size_t k = next.fetch_add(1);
          if (k >= count) break;
          const std::size_t i = dispatch.empty() ? k : dispatch[k];
          query(i, [&](const auto& graph, const auto& start, const auto& goal, const auto& names) {
            results[i] = detail::search_once(r, table, slot, graph, start, goal, names, options);
          });
        }
      } catch (...) {
        const std::lock_guard lock(mutex);
        if (!failure) failure = std::current_exception();
        stop = true;
      }
      const std::lock_guard lock(mutex);
      --running;
      finished.notify_all();
    };
    std::vector<std::thread> threads;
    {
      GilRelease unlocked;
      try {
        for (std::uint64_t w = 0; w < workers && w < count; ++w) {
          {
            const std::lock_guard lock(mutex);
            ++running;
          }
          try {
            threads.emplace_back(work, static_cast<std::size_t>(w));
          } catch (...) {
            const std::lock_guard lock(mutex);
            --running;
            throw;
          }
        }
      } catch (...) {
        const std::lock_guard lock(mutex);
        if (!failure) failure = std::current_exception();
        stop = true;
      }
      // Run the signal handlers now and then until every worker is done.
      std::unique_lock lock(mutex);
      while (running > 0) {
        if (finished.wait_for(lock, std::chrono::milliseconds(20), [&] { return running == 0; })) break;
        lock.unlock();
        const bool raised = unlocked.relocked([&] {
          if (PyErr_CheckSignals() == 0) return false;
          slot.store_pending();
          return true;
        });
        if (raised) stop = true;
        lock.lock();
      }
      lock.unlock();
      for (std::thread& t : threads) t.join();
    }
    if (slot.restore()) throw_py_error();
    if (failure) std::rethrow_exception(failure);
  }
  if (slot.restore()) throw_py_error();

  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(count)));
  if (!list) throw_py_error();
  for (std::size_t i = 0; i < count; ++i) {
    if (!results[i] || results[i]->stop_reason == StopReason::Cancelled) {
      fail_invariant("a batch search was cancelled with no exception to report");
    }
    PyObject* item = to_py_result(state, std::move(*results[i]));
    if (!item) throw_py_error();
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);  // steals
  }
  return list.release();
}

}  // namespace quellostrin::py

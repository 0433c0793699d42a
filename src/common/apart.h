#pragma once
// Work that runs in a child process of its own: a library that may crash on a failure (HDF5
// 1.10 closing a file again at exit after a full disk) cannot take the program with it, and
// the memory the work took goes back when it ends.

#include <functional>
#include <string>

namespace brevane {

// Runs work in a child process and returns the text it returned (empty for success), or why
// the child failed when it did not end by itself. The child ends when the program does.
// Where there are no child processes, work runs here.
std::string run_apart(const std::function<std::string()>& work);

}  // namespace brevane

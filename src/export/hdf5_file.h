#pragma once
// A small owner of HDF5's C API for making one file: every identifier is closed by its
// destructor, every call's result is checked, and the first failure becomes a text. After a
// failure the remaining calls do nothing, so a writer reads as the layout it writes.
//
// The file is written on disk as it is made, a long table in chunks. HDF5 1.10 keeps a file
// whose close failed (a full disk) open and crashes at exit closing it again, so the file is
// made in a process of its own (see common/apart.h).

#include <hdf5.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brevane::hdf5 {

// One identifier and the function that closes it.
class handle {
 public:
  using closer = herr_t (*)(hid_t);
  handle() = default;
  handle(hid_t id, closer close) : id_(id), close_(close) {}
  handle(handle&& other) noexcept : id_(other.id_), close_(other.close_) { other.id_ = -1; }
  handle& operator=(handle&& other) noexcept;
  handle(const handle&) = delete;
  handle& operator=(const handle&) = delete;
  ~handle() { release(); }

  hid_t id() const { return id_; }
  bool valid() const { return id_ >= 0; }
  // Closes now; what the close returned (0 when there was nothing to close).
  herr_t release();

 private:
  hid_t id_ = -1;
  closer close_ = nullptr;
};

class file {
 public:
  // A new file on disk at path (replacing what is there). error() says why when it could not
  // be made.
  explicit file(const std::string& path);

  hid_t root() const { return root_.id(); }
  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }

  handle group(hid_t parent, const char* name, const char* nx_class);

  void attribute(hid_t object, const char* name, std::string_view text);
  void attribute(hid_t object, const char* name, const std::vector<std::string>& texts);
  void attribute(hid_t object, const char* name, std::int64_t value);

  // A scalar text, UTF-8 of variable length; and columns of numbers and truth values. Each
  // returns the dataset, for its attributes. There are no columns of texts: the NeXus API
  // that Debian's nexus-tools use reads an array of strings into room for one and corrupts
  // its memory, so a column of words is written as codes (see nexus_export).
  handle text(hid_t parent, const char* name, std::string_view value);
  handle column(hid_t parent, const char* name, const std::vector<std::int32_t>& values);
  handle column(hid_t parent, const char* name, const std::vector<std::int64_t>& values);
  handle column(hid_t parent, const char* name, const std::vector<double>& values);
  // NeXus's NX_BOOLEAN: an unsigned byte, 0 or 1.
  handle truth(hid_t parent, const char* name, bool value);
  handle number(hid_t parent, const char* name, double value);
  handle number(hid_t parent, const char* name, std::int64_t value);

  // A float64 dataset of the given shape whose unwritten cells read as NaN, written one
  // plane (the last two dimensions) at a time.
  handle cube(hid_t parent, const char* name, const std::vector<hsize_t>& shape);
  void write_plane(hid_t cube, hsize_t index, const std::vector<double>& plane);

  // A column of readings that grows as they are appended, stored in chunks so that a long
  // table never needs to be whole in memory. expected: how many rows it will have, so that a
  // short table is not stored in a chunk far larger than itself.
  handle growing_column(hid_t parent, const char* name, hid_t file_type, std::size_t expected);
  void append(hid_t column, hid_t memory_type, const void* values, std::size_t count);
  // One cell of a cube, rewritten.
  void write_cell(hid_t cube, hsize_t plane, hsize_t row, hsize_t column, double value);

  // Closes every object and the file; the first failure since the file was made, or empty
  // when it is complete.
  std::string close();
  // Whether the first failure was the system's refusal to write (a full disk, a size limit),
  // told in the system's words, rather than one of HDF5's own.
  bool failed_writing() const { return failed_writing_; }

 private:
  // True when result is a success; otherwise keeps the first failure, naming what.
  bool check(std::int64_t result, const char* what);
  handle make(hid_t id, handle::closer close, const char* what);
  handle dataset(hid_t parent, const char* name, hid_t file_type, hid_t memory_type,
                 const std::vector<hsize_t>& shape, const void* data);

  std::string error_;
  bool failed_writing_ = false;
  handle file_;
  handle root_;
};

}  // namespace brevane::hdf5

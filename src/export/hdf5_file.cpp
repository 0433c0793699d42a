#include "export/hdf5_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "common/file_output.h"

namespace brevane::hdf5 {

namespace {

struct first_failure {
  std::string text;
  bool writing = false;  // a read or write of the file itself failed
};

// HDF5's text of the failure that started it all.
first_failure stack_reason() {
  first_failure first;
  H5Ewalk2(
      H5E_DEFAULT, H5E_WALK_UPWARD,
      [](unsigned n, const H5E_error2_t* e, void* data) -> herr_t {
        auto* f = static_cast<first_failure*>(data);
        if (n != 0) return 0;
        if (e->desc) f->text = e->desc;
        f->writing = e->maj_num == H5E_IO || e->maj_num == H5E_VFL;
        return 0;
      },
      &first);
  H5Eclear2(H5E_DEFAULT);
  return first;
}

// The largest chunk of a growing column: 64 Ki values, large enough for speed, small enough
// to cache.
constexpr hsize_t column_chunk = 1 << 16;

// The one string type: UTF-8 of variable length.
handle string_type() {
  handle t(H5Tcopy(H5T_C_S1), H5Tclose);
  if (!t.valid()) return t;
  const bool ok = H5Tset_size(t.id(), H5T_VARIABLE) >= 0 && H5Tset_cset(t.id(), H5T_CSET_UTF8) >= 0;
  return ok ? std::move(t) : handle();
}

}  // namespace

handle& handle::operator=(handle&& other) noexcept {
  if (this != &other) {
    release();
    id_ = other.id_;
    close_ = other.close_;
    other.id_ = -1;
  }
  return *this;
}

herr_t handle::release() {
  if (id_ < 0) return 0;
  const herr_t result = close_ ? close_(id_) : 0;
  id_ = -1;
  return result;
}

file::file(const std::string& path) {
  // Failures are told by the texts made here, never printed by the library.
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  handle access = make(H5Pcreate(H5P_FILE_ACCESS), H5Pclose, "file access properties");
  if (!failed()) check(H5Pset_fclose_degree(access.id(), H5F_CLOSE_STRONG), "file properties");
  if (failed()) return;
  errno = 0;
  file_ = make(H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, access.id()), H5Fclose,
               "making the file");
  if (!failed()) root_ = make(H5Gopen2(file_.id(), "/", H5P_DEFAULT), H5Gclose, "the root group");
}

bool file::check(std::int64_t result, const char* what) {
  // errno is read only for the call just made: a success clears what came before it.
  const int error_number = errno;
  errno = 0;
  if (result >= 0) return true;
  if (error_.empty()) {
    const first_failure why = stack_reason();
    if (why.writing && error_number != 0) {
      // "No space left on device" says more than HDF5's "write failed".
      error_ = files::reason(error_number);
      failed_writing_ = true;
    } else {
      error_ = why.text.empty() ? std::string(what) + " failed" : why.text;
    }
  }
  return false;
}

handle file::make(hid_t id, handle::closer close, const char* what) {
  if (!check(id, what)) return {};
  return handle(id, close);
}

handle file::group(hid_t parent, const char* name, const char* nx_class) {
  if (failed()) return {};
  handle g = make(H5Gcreate2(parent, name, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose,
                  "creating a group");
  attribute(g.id(), "NX_class", nx_class);
  return g;
}

void file::attribute(hid_t object, const char* name, std::string_view text) {
  attribute(object, name, std::vector<std::string>{std::string(text)});
}

void file::attribute(hid_t object, const char* name, const std::vector<std::string>& texts) {
  if (failed()) return;
  // One text is a scalar attribute, as readers expect of NX_class or signal.
  const hsize_t count = texts.size();
  handle space =
      make(texts.size() == 1 ? H5Screate(H5S_SCALAR) : H5Screate_simple(1, &count, nullptr),
           H5Sclose, "an attribute's space");
  handle type = string_type();
  if (!check(type.valid() ? 0 : -1, "a text type")) return;
  handle a = make(H5Acreate2(object, name, type.id(), space.id(), H5P_DEFAULT, H5P_DEFAULT),
                  H5Aclose, "creating an attribute");
  std::vector<const char*> pointers;
  pointers.reserve(texts.size());
  for (const std::string& t : texts) pointers.push_back(t.c_str());
  if (!failed()) check(H5Awrite(a.id(), type.id(), pointers.data()), "writing an attribute");
  if (!failed()) check(a.release(), "closing an attribute");
}

void file::attribute(hid_t object, const char* name, std::int64_t value) {
  if (failed()) return;
  handle space = make(H5Screate(H5S_SCALAR), H5Sclose, "an attribute's space");
  handle a = make(H5Acreate2(object, name, H5T_STD_I64LE, space.id(), H5P_DEFAULT, H5P_DEFAULT),
                  H5Aclose, "creating an attribute");
  if (!failed()) check(H5Awrite(a.id(), H5T_NATIVE_INT64, &value), "writing an attribute");
  if (!failed()) check(a.release(), "closing an attribute");
}

handle file::dataset(hid_t parent, const char* name, hid_t file_type, hid_t memory_type,
                     const std::vector<hsize_t>& shape, const void* data) {
  if (failed()) return {};
  handle space =
      make(shape.empty() ? H5Screate(H5S_SCALAR)
                         : H5Screate_simple(static_cast<int>(shape.size()), shape.data(), nullptr),
           H5Sclose, "a dataset's space");
  handle d =
      make(H5Dcreate2(parent, name, file_type, space.id(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT),
           H5Dclose, "creating a dataset");
  bool empty = false;
  for (hsize_t n : shape) empty = empty || n == 0;
  if (!failed() && !empty)
    check(H5Dwrite(d.id(), memory_type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data), "writing a dataset");
  return failed() ? handle() : std::move(d);
}

handle file::text(hid_t parent, const char* name, std::string_view value) {
  handle type = string_type();
  if (!check(type.valid() ? 0 : -1, "a text type")) return {};
  const std::string copy(value);
  const char* pointer = copy.c_str();
  return dataset(parent, name, type.id(), type.id(), {}, &pointer);
}

handle file::column(hid_t parent, const char* name, const std::vector<std::int32_t>& values) {
  return dataset(parent, name, H5T_STD_I32LE, H5T_NATIVE_INT32, {values.size()}, values.data());
}

handle file::column(hid_t parent, const char* name, const std::vector<std::int64_t>& values) {
  return dataset(parent, name, H5T_STD_I64LE, H5T_NATIVE_INT64, {values.size()}, values.data());
}

handle file::column(hid_t parent, const char* name, const std::vector<double>& values) {
  return dataset(parent, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, {values.size()}, values.data());
}

handle file::truth(hid_t parent, const char* name, bool value) {
  const std::uint8_t v = value ? 1 : 0;
  return dataset(parent, name, H5T_STD_U8LE, H5T_NATIVE_UINT8, {}, &v);
}

handle file::number(hid_t parent, const char* name, double value) {
  return dataset(parent, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, {}, &value);
}

handle file::number(hid_t parent, const char* name, std::int64_t value) {
  return dataset(parent, name, H5T_STD_I64LE, H5T_NATIVE_INT64, {}, &value);
}

handle file::cube(hid_t parent, const char* name, const std::vector<hsize_t>& shape) {
  if (failed()) return {};
  handle space = make(H5Screate_simple(static_cast<int>(shape.size()), shape.data(), nullptr),
                      H5Sclose, "a dataset's space");
  handle properties = make(H5Pcreate(H5P_DATASET_CREATE), H5Pclose, "dataset properties");
  const double not_taken = std::nan("");
  if (!failed())
    check(H5Pset_fill_value(properties.id(), H5T_NATIVE_DOUBLE, &not_taken), "a fill value");
  // Every plane is written, so the fill value is only what readers are told.
  if (!failed()) check(H5Pset_fill_time(properties.id(), H5D_FILL_TIME_NEVER), "a fill time");
  if (failed()) return {};
  return make(H5Dcreate2(parent, name, H5T_IEEE_F64LE, space.id(), H5P_DEFAULT, properties.id(),
                         H5P_DEFAULT),
              H5Dclose, "creating a dataset");
}

void file::write_plane(hid_t cube, hsize_t index, const std::vector<double>& plane) {
  if (failed() || plane.empty()) return;
  handle space = make(H5Dget_space(cube), H5Sclose, "a dataset's space");
  if (failed()) return;
  hsize_t shape[3] = {0, 0, 0};
  if (!check(H5Sget_simple_extent_dims(space.id(), shape, nullptr) == 3 ? 0 : -1, "a plane"))
    return;
  if (!check(plane.size() == shape[1] * shape[2] ? 0 : -1, "a plane of the wrong size")) return;
  const hsize_t start[3] = {index, 0, 0}, count[3] = {1, shape[1], shape[2]};
  check(H5Sselect_hyperslab(space.id(), H5S_SELECT_SET, start, nullptr, count, nullptr),
        "selecting a plane");
  handle memory = make(H5Screate_simple(2, count + 1, nullptr), H5Sclose, "a plane's space");
  if (!failed())
    check(H5Dwrite(cube, H5T_NATIVE_DOUBLE, memory.id(), space.id(), H5P_DEFAULT, plane.data()),
          "writing a plane");
}

handle file::growing_column(hid_t parent, const char* name, hid_t file_type, std::size_t expected) {
  if (failed()) return {};
  const hsize_t chunk = std::clamp<hsize_t>(expected, 1, column_chunk);
  const hsize_t none = 0, unlimited = H5S_UNLIMITED;
  handle space = make(H5Screate_simple(1, &none, &unlimited), H5Sclose, "a dataset's space");
  handle properties = make(H5Pcreate(H5P_DATASET_CREATE), H5Pclose, "dataset properties");
  if (!failed()) check(H5Pset_chunk(properties.id(), 1, &chunk), "a chunk size");
  if (failed()) return {};
  return make(
      H5Dcreate2(parent, name, file_type, space.id(), H5P_DEFAULT, properties.id(), H5P_DEFAULT),
      H5Dclose, "creating a dataset");
}

void file::append(hid_t column, hid_t memory_type, const void* values, std::size_t count) {
  if (failed() || count == 0) return;
  handle space = make(H5Dget_space(column), H5Sclose, "a dataset's space");
  if (failed()) return;
  hsize_t size = 0;
  if (!check(H5Sget_simple_extent_dims(space.id(), &size, nullptr) == 1 ? 0 : -1, "a column"))
    return;
  const hsize_t start = size, n = count, grown = size + count;
  if (!check(H5Dset_extent(column, &grown), "growing a column")) return;
  space = make(H5Dget_space(column), H5Sclose, "a dataset's space");
  if (!failed())
    check(H5Sselect_hyperslab(space.id(), H5S_SELECT_SET, &start, nullptr, &n, nullptr),
          "selecting rows");
  handle memory = make(H5Screate_simple(1, &n, nullptr), H5Sclose, "the rows' space");
  if (!failed())
    check(H5Dwrite(column, memory_type, memory.id(), space.id(), H5P_DEFAULT, values),
          "writing rows");
}

void file::write_cell(hid_t cube, hsize_t plane, hsize_t row, hsize_t column, double value) {
  if (failed()) return;
  handle space = make(H5Dget_space(cube), H5Sclose, "a dataset's space");
  const hsize_t start[3] = {plane, row, column}, count[3] = {1, 1, 1};
  if (!failed())
    check(H5Sselect_hyperslab(space.id(), H5S_SELECT_SET, start, nullptr, count, nullptr),
          "selecting a cell");
  handle memory = make(H5Screate(H5S_SCALAR), H5Sclose, "a cell's space");
  if (!failed())
    check(H5Dwrite(cube, H5T_NATIVE_DOUBLE, memory.id(), space.id(), H5P_DEFAULT, &value),
          "writing a cell");
}

std::string file::close() {
  root_.release();
  if (!failed()) check(H5Fflush(file_.id(), H5F_SCOPE_GLOBAL), "flushing the file");
  if (file_.valid()) check(file_.release(), "closing the file");
  return error_;
}

}  // namespace brevane::hdf5

#include "kermit/kermit_files.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/clock.h"
#include "platform/files.h"

namespace tessaril::kermit {

namespace {

// The path of the file to send: the chosen full path, else the name as it
// exists in the working folder in whatever case.
std::string send_file_path(const KermitState* k, const char* name) {
  if (k->send_path && *k->send_path) return k->send_path;
  std::string n = name ? name : "";
  if (n.empty()) return n;
  if (platform::file_size(n) >= 0) return n;
  std::string found = platform::find_file_nocase("", platform::base_name(n));
  return found.empty() ? n : found;
}

int close_output(KermitFiles& f, int disposition, int keep_partial) {
  if (!f.output_file.is_open()) {
    // A whole file still waiting for the session's end is discarded with it.
    if (disposition == 'D' && f.output_whole) {
      f.output_whole = false;
      if (!keep_partial) platform::remove_file(f.output_partial);
    }
    return 0;
  }
  const bool closed = f.output_file.close();
  if (closed && disposition != 'D') {
    f.output_whole = true;
    return 0;
  }
  // A file that could not be closed is no more whole than a discarded one.
  if (!keep_partial) platform::remove_file(f.output_partial);
  return closed && disposition == 'D' ? 0 : -1;
}

}  // namespace

int reserved_cb() { return -1; }

int put_received_in_place(KermitState* k) {
  if (!k || !k->files || !k->files->output_whole) return 0;
  KermitFiles& f = *k->files;
  f.output_whole = false;
  if (platform::rename_file(f.output_partial, f.output_final)) return 0;
  platform::remove_file(f.output_partial);
  return -1;
}

bool safe_received_name(const char* name) {
  if (!name || !*name) return false;
  // A leading dot would make a hidden file (or name the folder itself), and
  // ".." anywhere in the name is refused outright rather than judged.
  if (name[0] == '.' || std::strstr(name, "..")) return false;
  for (const char* p = name; *p; ++p) {
    auto c = static_cast<uint8_t>(*p);
    if (platform::is_path_separator(*p) || c == ':' || c < 32 || c == 127) return false;
  }
  return true;
}

bool input_file_open(const KermitState* k) { return k && k->files && k->files->input_file.is_open(); }
bool output_file_open(const KermitState* k) { return k && k->files && k->files->output_file.is_open(); }
bool input_read_failed(const KermitState* k) { return k && k->files && k->files->input_failed; }

int openfile(KermitState* k, const char* name, int mode) {
  if (!k || !k->files) return -1;
  KermitFiles& f = *k->files;
  if (mode == 1) {
    std::ifstream& input_file = f.input_file;
    if (input_file.is_open()) input_file.close();
    input_file.clear();
    f.input_failed = false;
    const std::string path = send_file_path(k, name);
    if (platform::file_size(path) < 0) return -1;  // missing, or a folder rather than a file
    input_file.open(path, std::ios::in | std::ios::binary);
    if (!input_file.is_open()) {
      input_file.clear();
      return -1;
    }
    k->s_first = 1;
    if (k->in_buf) k->in_buf[0] = '\0';
    k->zinptr = k->in_buf;
    k->zincnt = 0;
    return 0;
  }
  if (mode == 2) {
    // A file left open by a failed transfer is closed as a discard first.
    close_output(f, 'D', k->keep_partial);
    if (!safe_received_name(name)) return -1;
    f.output_final = name;
    f.output_partial = f.output_final + PARTIAL_SUFFIX;
    return f.output_file.create(f.output_partial) ? 0 : -1;
  }
  return -1;
}

int64_t query_file(KermitState* k, const char* name, char* date, int size, int /*type*/, int /*mode*/) {
  if (!date) return -1;
  if (size > 0) date[0] = '\0';
  if (size < 18) return -1;
  int64_t bytes = platform::file_size(send_file_path(k, name));
  if (bytes < 0) return -1;
  platform::LocalTime t = platform::local_time();
  std::snprintf(date, static_cast<size_t>(size), "%04d%02d%02d %02d:%02d:%02d", t.year % 10000, t.month % 100,
                t.day % 100, t.hour % 100, t.minute % 100, t.second % 100);
  return bytes;
}

int readfile(KermitState* k) {
  if (!k->zinptr || !k->in_buf || !input_file_open(k)) return -1;
  if (k->zincnt < 1) {
    std::ifstream& input_file = k->files->input_file;
    int32_t got = 0;
    if (k->file_binary) {
      input_file.read(k->in_buf, k->in_buf_size);
      got = static_cast<int32_t>(input_file.gcount());
    } else {
      // Text: every LF goes out as CR LF, so leave room for the pair.
      while (got < k->in_buf_size - 2) {
        int c = input_file.get();
        if (c == std::char_traits<char>::eof()) break;
        if (c == '\n') k->in_buf[got++] = '\r';
        k->in_buf[got++] = static_cast<char>(c);
      }
    }
    if (input_file.bad()) {
      k->files->input_failed = true;
      return -1;
    }
    k->in_buf[got] = '\0';
    k->zincnt = got;
    if (got == 0) return -1;
    k->zinptr = k->in_buf;
  }
  --k->zincnt;
  return static_cast<uint8_t>(*k->zinptr++);
}

int writefile(KermitState* k, const char* bytes, int count) {
  if (!output_file_open(k) || k->files->output_file.failed()) return -1;
  if (count <= 0) return 0;
  return k->files->output_file.write(bytes, static_cast<size_t>(count)) ? 0 : -1;
}

int closefile(KermitState* k, int disposition, int mode) {
  if (!k || !k->files) return mode >= 1 && mode <= 3 ? 0 : -1;
  if (mode == 1) {
    std::ifstream& input_file = k->files->input_file;
    if (!input_file.is_open()) return 0;
    input_file.close();
    bool closed = !input_file.fail();
    input_file.clear();
    return closed ? 0 : -1;
  }
  if (mode == 2 || mode == 3) {
    // Bytes still in the output buffer belong to the partial file too.
    KermitFiles& f = *k->files;
    if (f.output_file.is_open() && k->out_buf && k->out_buf_count > 0) {
      (void)f.output_file.write(k->out_buf, static_cast<size_t>(k->out_buf_count));
      k->out_buf_count = 0;
    }
    // A file with a failed write is never put in place.
    return close_output(f, f.output_file.failed() ? 'D' : disposition, k->keep_partial);
  }
  return -1;
}

}  // namespace tessaril::kermit

#include "platform/path_adapter.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace zentor::platform {
namespace {

constexpr std::size_t kDriveCount = 26;

std::array<std::string, kDriveCount>& DriveMap() {
  static std::array<std::string, kDriveCount> map;
  return map;
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsDriveLetter(char c) {
  const char upper = UpperAscii(c);
  return upper >= 'A' && upper <= 'Z';
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

// On a POSIX host one stat() answers as std::filesystem::exists does (a failure of any
// kind is "not there"), without first splitting the path into a list of components:
// every symbol load resolves its file's path here.
bool Exists(const std::string& path) {
#ifdef _WIN32
  std::error_code error;
  return std::filesystem::exists(std::filesystem::path(path), error);
#else
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0;
#endif
}

std::string Join(const std::string& directory, std::string_view name) {
  if (directory.empty()) return std::string(name);
  std::string joined = directory;
  if (joined.back() != '/') joined += '/';
  joined.append(name);
  return joined;
}

// The entry of `directory` whose name equals `name` without regard to ASCII case; of
// several, the one that sorts first, so the answer does not depend on the order in
// which the directory lists its entries. Empty when there is none.
std::string FindIgnoringCase(const std::string& directory, std::string_view name) {
  std::error_code error;
  std::filesystem::directory_iterator entries(std::filesystem::path(directory), error);
  if (error) return "";
  std::string best;
  for (const std::filesystem::directory_entry& entry : entries) {
    std::string entryName = entry.path().filename().string();
    if (!EqualsIgnoringAsciiCase(entryName, name)) continue;
    if (best.empty() || entryName < best) best = std::move(entryName);
  }
  return best;
}

// 1. The spelling as written wins when it exists.
// 2. Otherwise the components are taken from the left; a component that exists as
//    written (and "." and "..") is kept, any other is replaced by the entry of the
//    directory reached so far that matches it without regard to case.
// 3. A component without a match ends the search: nothing is found.
std::string ResolvePosix(std::string_view path) {
  const std::string text = HostPathText(path, PathStyle::Posix);
  if (text.empty() || text.size() > kMaxHostPathLength) return "";
  if (Exists(text)) return text;

  std::string resolved;
  std::size_t position = 0;
  if (text[0] == '/') {
    resolved = "/";
    position = 1;
  }
  while (position < text.size()) {
    std::size_t end = text.find('/', position);
    if (end == std::string::npos) end = text.size();
    const std::string_view component(text.data() + position, end - position);
    position = end + 1;
    if (component.empty()) continue;
    std::string candidate = Join(resolved, component);
    if (component == "." || component == ".." || Exists(candidate)) {
      resolved = std::move(candidate);
      continue;
    }
    const std::string match = FindIgnoringCase(resolved.empty() ? std::string(".") : resolved, component);
    if (match.empty()) return "";
    resolved = Join(resolved, match);
  }
  return Exists(resolved) ? resolved : "";
}

}  // namespace

PathStyle HostPathStyle() {
#ifdef _WIN32
  return PathStyle::Win32;
#else
  return PathStyle::Posix;
#endif
}

void MapDrive(char letter, const std::string& directory) {
  if (!IsDriveLetter(letter)) return;
  std::string stored = directory;
  // A trailing separator would double the one that begins the rest of a path.
  while (stored.size() > 1 && IsSeparator(stored.back())) stored.pop_back();
  DriveMap()[static_cast<std::size_t>(UpperAscii(letter) - 'A')] = stored;
}

void ClearDriveMap() {
  for (std::string& directory : DriveMap()) directory.clear();
}

bool HasDrivePrefix(std::string_view path) { return path.size() >= 2 && path[1] == ':' && IsDriveLetter(path[0]); }

std::string HostPathText(std::string_view path, PathStyle style) {
  if (style == PathStyle::Win32) return std::string(path);
  std::string text;
  std::string_view rest = path;
  if (HasDrivePrefix(path)) {
    rest = path.substr(2);
    const std::string& mapped = DriveMap()[static_cast<std::size_t>(UpperAscii(path[0]) - 'A')];
    if (!mapped.empty()) {
      if (mapped == "/") {
        text = rest.empty() || !IsSeparator(rest[0]) ? "/" : "";
      } else {
        text = mapped;
        if (!rest.empty() && !IsSeparator(rest[0])) text += '/';
      }
    }
  }
  text.reserve(text.size() + rest.size());
  for (char c : rest) text += c == '\\' ? '/' : c;
  return text;
}

std::string HostPathText(std::string_view path) { return HostPathText(path, HostPathStyle()); }

std::string ResolveHostPath(std::string_view path, PathStyle style) {
  if (style == PathStyle::Posix) return ResolvePosix(path);
  if (path.empty() || path.size() > kMaxHostPathLength) return "";
  std::string text(path);
  return Exists(text) ? text : "";
}

std::string ResolveHostPath(std::string_view path) { return ResolveHostPath(path, HostPathStyle()); }

bool CanOpenForReading(std::string_view path) {
  const std::string resolved = ResolveHostPath(path);
  if (resolved.empty()) return false;
  std::error_code error;
  if (!std::filesystem::is_regular_file(std::filesystem::path(resolved), error)) return false;
  std::FILE* file = std::fopen(resolved.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

}  // namespace zentor::platform

#pragma once
// The boundary between the debugger's own spelling of paths and the host file system.
// Inside the debugger a path keeps the form the symbol files and the users write:
// backslash separators, an optional drive letter, names compared without regard to
// case. On Windows that form is the host's, so paths pass through unchanged. On POSIX
// the adapter turns backslashes into slashes, maps or drops a drive prefix, and when
// the spelling as written names nothing it looks for each component again without
// regard to ASCII case, so the same lookups work for files that were written on
// Windows. The source-file lookup and the symbol-file probe ask here whether a file
// exists and where it is.

#include <cstddef>
#include <string>
#include <string_view>

namespace zentor::platform {

enum class PathStyle : unsigned char { Posix, Win32 };

// The style of the system the program runs on.
PathStyle HostPathStyle();

// Paths longer than this (after conversion) are refused: they name nothing.
inline constexpr std::size_t kMaxHostPathLength = 4095;

// POSIX only: the directory that stands for a drive. "D:\src\a.c" with drive D mapped
// to "/mnt/d" names "/mnt/d/src/a.c"; a drive that is not mapped is dropped, so
// "C:\src\a.c" names "/src/a.c" and "C:a.c" names "a.c". Letters are taken without
// regard to case; a letter that is not A-Z is ignored. An empty directory unmaps.
void MapDrive(char letter, const std::string& directory);
void ClearDriveMap();

// True when the text begins with a drive prefix: a letter A-Z or a-z and ':'.
bool HasDrivePrefix(std::string_view path);

// The host spelling of `path` in the given style, without looking at the disk. Win32:
// the text as it is. POSIX: drive prefix mapped or dropped, every '\' made '/'.
std::string HostPathText(std::string_view path, PathStyle style);
std::string HostPathText(std::string_view path);

// The host path of an existing file or directory that `path` names: its spelling as
// written when that exists; otherwise, on POSIX, the path found by matching each
// component that does not exist as written against the entries of its directory
// without regard to ASCII case (of several matches the one that sorts first). Empty
// when nothing exists, the path is empty, or it is longer than kMaxHostPathLength.
std::string ResolveHostPath(std::string_view path, PathStyle style);
std::string ResolveHostPath(std::string_view path);

// True when `path` names an existing regular file that can be opened for reading.
// Nothing is created.
bool CanOpenForReading(std::string_view path);

}  // namespace zentor::platform

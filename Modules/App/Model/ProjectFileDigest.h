#pragma once

// SHA-512 digests that tell whether a project still equals its saved file.

#include "AppExport.h"

#include <QString>

#include <string>

namespace lumo::app {

// Appends the SHA-512 of the bytes to out as 128 lower-case hexadecimal characters.
// 0 on success; 1000, 1001 or 1002 when initialising, processing or finishing fails.
APP_EXPORT int Sha512Hex(const char* data, int length, std::string& out);

// The digest of a whole file. 0 on success, 11 when the file cannot be opened, 2 when reading
// or the digest fails.
APP_EXPORT int FileSha512Hex(const char* path, std::string& out);

// The digest of a file, or a null string when it cannot be computed.
APP_EXPORT QString FileSha512HexString(const QString& path);

} // namespace lumo::app

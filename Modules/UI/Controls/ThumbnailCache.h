#pragma once

// The per-project thumbnail cache on disk: one PNG, 400 pixels wide and turned as the camera was
// held, per image file, in
//   <local data folder>/Halvern/<ApplicationName>/cache/<the project's thumbnail folder>/
// named by the file's path, modification time and size, so that a changed file gets a new one.
// The shell removes an untitled project's folder with the project.

#include <QString>

namespace lumo::ui {

// The folder the projects' thumbnail folders live in (no trailing "/"); false, with root
// untouched, without a local data folder. Nothing is created.
bool GetThumbnailCacheRoot(QString& root);

// A thumbnail folder name is one plain folder name (no separators, not "." or ".."), so that a
// project file cannot point the cache outside its root.
bool IsPlainFolderName(const QString& name);

// The project's cache folder with a trailing "/", created with its parents; false, with folder
// untouched, when there is no local data folder, the name is not a plain folder name, or the folder
// cannot be made.
bool GetThumbnailCacheFolder(const QString& folderName, QString& folder);

// A new thumbnail folder name: the time now to the millisecond, "yyyyMMddhhmmsszzz" (17 digits).
QString NewThumbnailFolderName();

// The cache file name of an image file: the lower-case hexadecimal MD5 of its absolute path in
// UTF-8 followed by its modification time (seconds since 1970) and size in bytes, then ".png";
// empty when the file does not exist.
QString ThumbnailCacheFileName(const QString& imagePath);

// One image of a thumbnail job, prepared on the GUI thread from the project.
struct ThumbnailRequest {
    QString imagePath;      // empty: the project knows no such file, nothing is made
    QString rememberedFile; // the cache file the layer names, reused while it is current
};

// Makes (or finds) the cached thumbnail of one image: the function a thumbnail job maps over its
// requests on worker threads. It only reads the image file and writes the cache file (through a
// temporary file, so a reader never sees half a PNG); the project is read and written on the GUI
// thread. The result is the cache file's path, or empty when the file is missing, cannot be read,
// or its thumbnail cannot be written.
class CheckAndCreateThumbnail {
public:
    // folder: a cache folder with its trailing "/" (GetThumbnailCacheFolder).
    explicit CheckAndCreateThumbnail(QString folder);

    QString operator()(const ThumbnailRequest& request) const;

private:
    QString m_folder;
};

} // namespace lumo::ui

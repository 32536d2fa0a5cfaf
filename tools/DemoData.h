// The demo database: a small faculty in Russian as a dean's office would have
// it in December 2026, the same on every run.
#pragma once

#include <QString>

namespace dbtools {

// The folders under a photo folder the program looks in.
QString studentPhotoFolder(const QString& photosDir);  // photosDir/Foto
QString teacherPhotoFolder(const QString& photosDir);  // photosDir/Foto/Prepod

// Creates the database at path (refusing an existing file) in one transaction.
// With photosDir, also draws sample photos there and names them in the Foto columns.
// Throws DataError; a failed run leaves no database file behind.
void createDemo(const QString& path, const QString& photosDir = {});

}  // namespace dbtools

// The program's settings file My.ini: where it lives, what the main window
// reads from it at start, and how it is written afresh for this program copy.
//
// The file normally lies in the program folder (the running executable's
// folder). Where that folder cannot take it (no permission to create a file
// there, or to replace an existing My.ini, which every write does), the file
// lives in the user's configuration folder
// (QStandardPaths::AppConfigLocation, created when needed) under the same
// rules. open() decides this once, by the permission bits and by actually
// creating and removing a file in the program folder, and keeps the path.
//
// Keys: [Files] Main = the running executable's full path, MainPath = its
// folder without a trailing separator; [Параметры] Шрифт = the font name;
// [База данных] Сервер = a server database's connection string (kept as it is).
// The file is current when Main equals the running executable's path exactly,
// letter case included. A path with characters Windows-1251 cannot hold reads
// back with '?', so such a program copy finds its file never current.
#pragma once

#include <QString>
#include <optional>

#include "ProfileFile.h"

class Settings {
public:
    static constexpr int MaxFontNameLength = 31;

    Settings() = default;
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // The main window's creation steps. Returns the font name to apply, or
    // empty to keep the window's font. An absent file is created empty (a
    // failure throws std::runtime_error "Cannot create file "<path>". <reason>"
    // and leaves no settings open) and then initialised, as is a file that is
    // not current. A refused write throws and leaves the settings open.
    QString open(const QString& executablePath);

    // Writes Main, then MainPath from Main as read back, then the font
    // "MS Sans Serif"; a refused write throws "Unable to write to <path>" and
    // skips the steps after it. Does nothing while no settings are open.
    void initialise(const QString& executablePath);

    // Read from the file on every call, so an edit by hand counts at once;
    // empty while no settings are open.
    QString main() const;
    QString mainPath() const;
    // [База данных] Сервер: the libpq connection string of a server database the
    // desks share; empty for the file in the current folder. A password never
    // belongs here: libpq reads ~/.pgpass or PGPASSWORD.
    QString server() const;

    // Flushes the file and lets it go; current() no longer points here.
    void release();
    bool isOpen() const { return m_file.has_value(); }
    // The settings file in use; empty while none is open.
    QString path() const;

    // The settings the run opened, for the photo store; null when none are open.
    static Settings* current();

    static QString fileName() { return QStringLiteral("My.ini"); }

private:
    std::optional<platform::ProfileFile> m_file;
};

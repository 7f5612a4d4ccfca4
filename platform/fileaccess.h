#pragma once

// The one unit that asks the operating system about files: every path the
// reader opens, lists or compares goes through here, so the rules against
// hostile files hold everywhere. Only regular files are opened, an open
// never blocks, and a name the system encoding cannot show still opens.

#include "platform/failure.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QList>
#include <QString>

#include <optional>

namespace platform {

// A path as the system spells it: bytes on POSIX (a file name that is not
// valid in the system encoding keeps its bytes), UTF-16 on Windows.
class LocalPath {
public:
#ifdef Q_OS_WIN
    using Native = QString;
#else
    using Native = QByteArray;
#endif

    LocalPath() = default;
    static LocalPath fromText(const QString &text);
    static LocalPath fromNative(Native native) { LocalPath path; path.m_native = std::move(native); return path; }

    bool isEmpty() const { return m_native.isEmpty(); }
    const Native &native() const { return m_native; }
    // For messages and lists: bytes the system encoding cannot show become U+FFFD.
    QString text() const;
    QString fileName() const;
    LocalPath folder() const;
    LocalPath child(const Native &name) const;
    // The child named by the text `name` followed by `extension` (ASCII).
    LocalPath child(const QString &name, QLatin1StringView extension) const;

    bool operator==(const LocalPath &other) const = default;

private:
    Native m_native;
};

// The one failure for a file that is not there: "File 'name' does not exist." (1).
Failure fileDoesNotExist(const QString &name);

// The name a file is given in error descriptions.
QString displayName(const QString &path);
QString displayName(const LocalPath &path);

enum class FileKind { Missing, Regular, Folder, Other, Loop, Denied };

// What the path names, symbolic links followed. Never opens it.
FileKind kindOf(const LocalPath &path);

struct FolderEntry {
    LocalPath::Native name; // as stored
    QString text;           // the name for lists and messages
    FileKind kind = FileKind::Other; // links followed
    bool maybeLink = false; // a symbolic link, or an entry the listing did not say the kind of
};

// The entries of a folder (hidden ones too, "." and ".." left out), or only
// those that are or may be symbolic links. Throws Failure 1 when it does not
// exist, 1705 when it cannot be read.
enum class EntriesWanted { All, MaybeLinks };
QList<FolderEntry> listFolder(const LocalPath &folder, EntriesWanted wanted = EntriesWanted::All);

// Opens a regular file read-only without ever blocking (a FIFO or a device
// is refused before anything is read). The file is opened by its descriptor
// and keeps no name: callers name it in their errors. Throws Failure: 1 it does not exist,
// 202 it is no regular file or a link loop, 1705 it cannot be read.
void openRegularFile(QFile &file, const LocalPath &path);

// A folder held open while many of its files are opened: each is then found
// by its own name in the folder, not by its whole path again. A folder that
// cannot be held so still has its files opened, by path.
class HeldFolder {
public:
    explicit HeldFolder(const LocalPath &folder);
    ~HeldFolder();
    HeldFolder(const HeldFolder &) = delete;
    HeldFolder &operator=(const HeldFolder &) = delete;

    const LocalPath &path() const { return m_path; }

private:
    friend class ReadOnlyFile;
    LocalPath m_path;
#ifndef Q_OS_WIN
    int m_fd = -1;
#endif
};

// A regular file opened read-only as openRegularFile opens it and read with
// plain system calls: a table's header takes one read, without the buffer
// and the bookkeeping of a QFile. Closed when it goes.
class ReadOnlyFile {
public:
    // Throws as openRegularFile does.
    explicit ReadOnlyFile(const LocalPath &path);
    // The same for a file of a held folder: one whose path is the folder's
    // child (any other path is opened by itself).
    ReadOnlyFile(const HeldFolder &folder, const LocalPath &path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;

    const LocalPath &path() const { return m_path; }
    // The size the file had when it was opened.
    qint64 size() const { return m_size; }
    // Appends to `bytes` up to `count` bytes read at `offset`, never past the
    // size the file had when opened (fewer only when it has shrunk since);
    // throws Failure 1705 naming the file on a read error.
    void appendAt(qint64 offset, qint64 count, QByteArray &bytes) const;

private:
    LocalPath m_path; // named in failures only
#ifdef Q_OS_WIN
    mutable QFile m_file;
#else
    int m_fd = -1;
#endif
    qint64 m_size = 0;
};

// Reads exactly `size` bytes at `offset` of the open file; throws Failure
// 2091 naming `fileName` when the file ends first, 1705 on a read error.
QByteArray readAt(QFile &file, qint64 offset, qint64 size, const QString &fileName);
// The same for a file opened as ReadOnlyFile, named by its path.
QByteArray readAt(const ReadOnlyFile &file, qint64 offset, qint64 size);
// Reads at most maxBytes more; throws Failure 1705 naming `fileName` on a read error.
QByteArray readSome(QFile &file, qint64 maxBytes, const QString &fileName);

// Device and inode (volume and file index on Windows): the same file
// however it is reached, through links or another spelling.
struct FileIdentity {
    quint64 device = 0;
    quint64 file = 0;
    bool operator==(const FileIdentity &other) const = default;
};
size_t qHash(const FileIdentity &identity, size_t seed = 0) noexcept;

// Whether the path names a character device or a pipe, links followed
// (/dev/null, /dev/stdout, a FIFO; on Windows the reserved device names such
// as NUL and CON, and the device namespace \\.\): a target the user names
// to be written as it is, never to be replaced. Never opens it.
bool isStreamDevice(const LocalPath &path);

// The identity of the file a path names, links followed; none when there is
// no such file or it cannot be asked.
std::optional<FileIdentity> identityOf(const LocalPath &path);

// The name of the one folder entry that leads to the regular file at `path`,
// symbolic links followed: none when the file has other hard links, is no
// regular file or cannot be asked. Another path reaches that file only
// through this entry or through symbolic links.
std::optional<QString> soleEntryName(const LocalPath &path);

// Whether every name along the symbolic links from `path` can be spelt in
// the system encoding, so that a program that follows the links by their
// text (as Qt does) reaches the file they lead to and no other.
bool linksSpellable(const LocalPath &path);

// Where a file made at `path` would be: the end of the symbolic links from
// it, followed by their text, though it is not there yet; `path` itself when
// it is no link.
LocalPath linkTarget(const LocalPath &path);

// Starts writing to the disk the `length` bytes just written at `offset` of
// the open file `fd`, without waiting for them: the sync that commits a
// large file then finds little left to do. Nothing where the system has no
// such request.
void startWriteBack(int fd, qint64 offset, qint64 length);
// Waits until what was written to the open file `fd` is on the disk. Gives
// the system's reason when it cannot be put there, and nothing when it is (or
// when the file is of a kind the system does not sync).
QString syncToDisk(int fd);

// Gives the open file `fd`, made by a temporary file (which the system makes
// for its owner alone), the permissions a file at `target` has when there is
// one, else those the system gives a new file: the file that takes its place
// is read by whoever could read it. Nothing on Windows, whose files take
// their folder's.
void takePermissionsOf(int fd, const LocalPath &target);
// Puts the file at `from` in the place of `to` at once: over an existing
// `to` only when `replace`, otherwise an existing `to` stays and is a Failure
// (3). Throws Failure 1705 when the system refuses.
void moveIntoPlace(const LocalPath &from, const LocalPath &to, bool replace);
// Whether the open descriptor `fd` is a terminal (a console on Windows).
bool isTerminal(int fd);
// Whether standard stream `fd` (0, 1 or 2) is open. A closed one gets the
// null device in its place, so no file opened later takes its number and
// writes meant for the stream cannot land in it.
bool holdStandardStream(int fd);
// Whether the file system takes names that differ only in case for one
// (Windows); Linux may hold orders.dbf and ORDERS.DBF side by side.
bool fileNamesIgnoreCase();
// Text of Windows code page `codePage` decoded by the operating system, for
// where Qt has no converter of its own (a Qt without ICU, as on Windows);
// nothing where the system has none to offer (Linux, whose Qt has ICU).
std::optional<QString> systemDecode(int codePage, QByteArrayView bytes);
// Standard output taken as bytes: Windows' C runtime would otherwise turn
// each LF of a report, CR LF already, into CR LF. Nothing elsewhere.
void rawStandardOutput();

// The existing entry that `relative` (text taken from a file, "\" counting
// as a separator) names under `base`, each part matched case-insensitively
// when the exact name is missing. Empty when there is none.
LocalPath resolveCaseInsensitive(const LocalPath &base, const QString &relative);

} // namespace platform

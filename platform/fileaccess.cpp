#include "platform/fileaccess.h"

#include "platform/failure.h"

#include <QDir>
#include <QStringList>
#include <QHashFunctions>

#include <algorithm>
#include <limits>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

#ifdef Q_OS_WIN
constexpr wchar_t Separator = L'\\';
bool isSeparator(QChar c) { return c == QLatin1Char('\\') || c == QLatin1Char('/'); }
#else
constexpr char Separator = '/';
bool isSeparator(char c) { return c == '/'; }

// ASCII is spelt with the same bytes in every encoding: no converter for it.
bool isAscii(QStringView text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}
#endif

// `folder`, a separator unless it ends in one, then `size` more units that
// `writeName` puts in from where it is given: sized once, as a folder's every
// table is joined so.
template <class WriteName>
LocalPath::Native joinedPath(const LocalPath::Native &folder, qsizetype size, WriteName writeName)
{
    const bool separated = isSeparator(folder.back());
    LocalPath::Native joined(folder.size() + (separated ? 0 : 1) + size, Qt::Uninitialized);
    auto *out = std::copy(folder.cbegin(), folder.cend(), joined.begin());
    if (!separated)
        *out++ = Separator;
    writeName(out);
    return joined;
}

Failure accessDenied(const QString &name)
{
    return Failure(QStringLiteral("Access to file '%1' is denied.").arg(name), platform::AccessDenied);
}

Failure notRegular(const QString &name, FileKind kind)
{
    switch (kind) {
    case FileKind::Folder:
        return Failure(QStringLiteral("'%1' is a folder, not a file.").arg(name), platform::InvalidPath);
    case FileKind::Loop:
        return Failure(QStringLiteral("'%1' cannot be opened: its symbolic links form a loop.").arg(name),
                       platform::InvalidPath);
    default:
        return Failure(QStringLiteral("'%1' is not a regular file (a pipe, a device or a socket).").arg(name),
                       platform::InvalidPath);
    }
}

Failure failureFor(FileKind kind, const QString &name)
{
    switch (kind) {
    case FileKind::Missing: return fileDoesNotExist(name);
    case FileKind::Denied: return accessDenied(name);
    default: return notRegular(name, kind);
    }
}

#ifndef Q_OS_WIN
FileKind kindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Folder;
    return FileKind::Other;
}

FileKind kindOfError(int error)
{
    switch (error) {
    case ENOENT: case ENOTDIR: case ENAMETOOLONG: return FileKind::Missing;
    case ELOOP: return FileKind::Loop;
    case ENXIO: case ENODEV: return FileKind::Other; // a socket, a device without a driver
    default: return FileKind::Denied;
    }
}
#else
FileKind kindOfError(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_NAME: case ERROR_BAD_NETPATH:
        return FileKind::Missing;
    case ERROR_CANT_RESOLVE_FILENAME: return FileKind::Loop;
    default: return FileKind::Denied;
    }
}

// Opens for reading attributes (access 0) or data; directories need backup semantics.
HANDLE openHandle(const QString &path, DWORD access, DWORD flags)
{
    return CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       flags, nullptr);
}
#endif

} // namespace

Failure fileDoesNotExist(const QString &name)
{
    return Failure(QStringLiteral("File '%1' does not exist.").arg(name), platform::FileDoesNotExist);
}

LocalPath LocalPath::fromText(const QString &text)
{
#ifdef Q_OS_WIN
    return fromNative(QDir::toNativeSeparators(text));
#else
    if (isAscii(text))
        return fromNative(QStringView(text).toLatin1());
    return fromNative(QFile::encodeName(text));
#endif
}

#ifndef Q_OS_WIN
namespace {

// A name as the system spells it, as text. ASCII, what table names nearly
// always are, reads the same in every encoding: no converter for it.
QString decodedName(const QByteArray &native)
{
    if (std::all_of(native.cbegin(), native.cend(), [](char c) { return uchar(c) < 0x80; }))
        return QString::fromLatin1(native);
    return QFile::decodeName(native);
}

} // namespace
#endif

QString LocalPath::text() const
{
#ifdef Q_OS_WIN
    return m_native;
#else
    return decodedName(m_native);
#endif
}

QString LocalPath::fileName() const
{
    qsizetype end = m_native.size();
    while (end > 1 && isSeparator(m_native.at(end - 1)))
        --end;
    qsizetype start = end;
    while (start > 0 && !isSeparator(m_native.at(start - 1)))
        --start;
    return fromNative(m_native.sliced(start, end - start)).text();
}

LocalPath LocalPath::folder() const
{
    qsizetype at = m_native.size();
    while (at > 0 && !isSeparator(m_native.at(at - 1)))
        --at;
    if (at == 0)
        return fromText(QStringLiteral("."));
    // Keep the root's own separator.
    return fromNative(m_native.first(at > 1 ? at - 1 : at));
}

LocalPath LocalPath::child(const Native &name) const
{
    if (m_native.isEmpty())
        return fromNative(name);
    return fromNative(joinedPath(m_native, name.size(), [&](auto *out) { std::copy(name.cbegin(), name.cend(), out); }));
}

LocalPath LocalPath::child(const QString &name, QLatin1StringView extension) const
{
#ifndef Q_OS_WIN
    // An ASCII name is its own bytes: the path is made in one allocation.
    if (!m_native.isEmpty() && isAscii(name)) {
        return fromNative(joinedPath(m_native, name.size() + extension.size(), [&](char *out) {
            out = std::transform(name.cbegin(), name.cend(), out, [](QChar c) { return char(c.unicode()); });
            std::copy(extension.begin(), extension.end(), out);
        }));
    }
#endif
    return child(fromText(name + extension).native());
}

QString displayName(const QString &path)
{
    return LocalPath::fromText(path).fileName();
}

QString displayName(const LocalPath &path)
{
    return path.fileName();
}

size_t qHash(const FileIdentity &identity, size_t seed) noexcept
{
    return qHashMulti(seed, identity.device, identity.file);
}

#ifndef Q_OS_WIN

FileKind kindOf(const LocalPath &path)
{
    struct stat status;
    if (::stat(path.native().constData(), &status) != 0)
        return kindOfError(errno);
    return kindOfMode(status.st_mode);
}

QList<FolderEntry> listFolder(const LocalPath &folder, EntriesWanted wanted)
{
    DIR *dir = ::opendir(folder.native().constData());
    if (!dir) {
        const FileKind kind = kindOfError(errno);
        if (kind == FileKind::Missing)
            throw Failure(QStringLiteral("Folder '%1' does not exist.").arg(folder.text()), platform::FileDoesNotExist);
        if (kind == FileKind::Denied)
            throw Failure(QStringLiteral("Access to folder '%1' is denied.").arg(folder.text()), platform::AccessDenied);
        throw notRegular(folder.text(), kind);
    }
    QList<FolderEntry> entries;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry)
            break;
        if (wanted == EntriesWanted::MaybeLinks && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
            continue;
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        FolderEntry found;
        found.name = name;
        found.text = decodedName(name);
        if (entry->d_type == DT_REG) {
            found.kind = FileKind::Regular;
        } else if (entry->d_type == DT_DIR) {
            found.kind = FileKind::Folder;
        } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            found.maybeLink = true;
            struct stat status;
            found.kind = ::fstatat(::dirfd(dir), entry->d_name, &status, 0) == 0 ? kindOfMode(status.st_mode)
                                                                                 : kindOfError(errno);
        } else {
            found.kind = FileKind::Other;
        }
        entries.append(std::move(found));
    }
    const int error = errno;
    ::closedir(dir);
    if (error != 0)
        throw Failure(QStringLiteral("Folder '%1' cannot be read: %2")
                          .arg(folder.text(), QString::fromLocal8Bit(std::strerror(error))),
                      platform::AccessDenied);
    return entries;
}

namespace {

// Whether a descriptor opened to check its file keeps O_NONBLOCK: its reads
// then say EAGAIN where a file system honours the flag for regular files.
enum class NonBlocking { Clear, Keep };

// Clears O_NONBLOCK; false when it was not set or cannot be cleared.
bool clearNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_NONBLOCK) && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// The descriptor of the regular file `name` names from the folder `folder`
// (AT_FDCWD: the current one), opened read-only; `path` names it in failures
// and `size` gets its size.
int openRegularDescriptor(int folder, const char *name, const LocalPath &path, qint64 &size, NonBlocking nonBlocking)
{
    // Non-blocking, so a FIFO or a terminal cannot hold the open; the type
    // is then checked on what was opened, not on the name.
    const int fd = ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw failureFor(kindOfError(errno), displayName(path));
    struct stat status;
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        throw failureFor(kindOfError(error), displayName(path));
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        throw notRegular(displayName(path), kindOfMode(status.st_mode));
    }
    if (nonBlocking == NonBlocking::Clear)
        clearNonBlocking(fd);
    size = qint64(status.st_size);
    return fd;
}

} // namespace

void openRegularFile(QFile &file, const LocalPath &path)
{
    qint64 size = 0;
    const int fd = openRegularDescriptor(AT_FDCWD, path.native().constData(), path, size, NonBlocking::Clear);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw accessDenied(displayName(path));
    }
}

HeldFolder::HeldFolder(const LocalPath &folder) : m_path(folder)
{
    // O_PATH needs only the right to search the folder, as opening by path does.
#ifdef O_PATH
    m_fd = ::open(folder.native().constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
    m_fd = ::open(folder.native().constData(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
#endif
}

HeldFolder::~HeldFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

ReadOnlyFile::ReadOnlyFile(const LocalPath &path) : m_path(path)
{
    // Local file systems ignore O_NONBLOCK on a regular file, so the flag
    // is cleared only when a read says EAGAIN: one system call less per table.
    m_fd = openRegularDescriptor(AT_FDCWD, path.native().constData(), path, m_size, NonBlocking::Keep);
}

ReadOnlyFile::ReadOnlyFile(const HeldFolder &folder, const LocalPath &path) : m_path(path)
{
    const QByteArray &whole = path.native();
    const QByteArray &parent = folder.m_path.native();
    // The name after the folder and one separator, when that is all the rest is.
    qsizetype start = parent.size();
    if (start > 0 && parent.back() != Separator)
        ++start;
    const bool child = folder.m_fd >= 0 && start > 0 && whole.size() > start && whole.startsWith(parent)
        && whole.at(start - 1) == Separator && whole.indexOf(Separator, start) < 0;
    m_fd = child ? openRegularDescriptor(folder.m_fd, whole.constData() + start, path, m_size, NonBlocking::Keep)
                 : openRegularDescriptor(AT_FDCWD, whole.constData(), path, m_size, NonBlocking::Keep);
}

ReadOnlyFile::~ReadOnlyFile()
{
    ::close(m_fd);
}

void ReadOnlyFile::appendAt(qint64 offset, qint64 count, QByteArray &bytes) const
{
    count = qBound<qint64>(0, count, m_size - offset);
    const qsizetype start = bytes.size();
    bytes.resize(start + qsizetype(count));
    qsizetype got = 0;
    while (got < count) {
        const ssize_t n = ::pread(m_fd, bytes.data() + start + got, size_t(count - got), off_t(offset + got));
        if (n < 0) {
            const int error = errno;
            if (error == EINTR || ((error == EAGAIN || error == EWOULDBLOCK) && clearNonBlocking(m_fd)))
                continue;
            bytes.truncate(start + got);
            throw Failure(QStringLiteral("File '%1' cannot be read: %2")
                              .arg(displayName(m_path), QString::fromLocal8Bit(std::strerror(error))),
                          platform::AccessDenied);
        }
        if (n == 0)
            break;
        got += n;
    }
    bytes.truncate(start + got);
}

void startWriteBack(int fd, qint64 offset, qint64 length)
{
#ifdef Q_OS_LINUX
    // Only a hint: a file system that cannot take it syncs the whole at the end.
    ::sync_file_range(fd, off_t(offset), off_t(length), SYNC_FILE_RANGE_WRITE);
#else
    Q_UNUSED(fd);
    Q_UNUSED(offset);
    Q_UNUSED(length);
#endif
}

QString syncToDisk(int fd)
{
    while (::fdatasync(fd) != 0) {
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error == EINVAL || error == EROFS)
            return QString(); // a file the system keeps no disk copy of
        return QString::fromLocal8Bit(std::strerror(error));
    }
    return QString();
}

void takePermissionsOf(int fd, const LocalPath &target)
{
    struct stat existing;
    mode_t mode = 0;
    if (::stat(target.native().constData(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        mode = existing.st_mode & 0777; // never a set-id or sticky bit
    } else {
        // The mask can only be read by setting it: it is set back at once.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    // Should the system refuse, the file stays its owner's alone: no harm.
    ::fchmod(fd, mode);
}

void moveIntoPlace(const LocalPath &from, const LocalPath &to, bool replace)
{
    const char *source = from.native().constData();
    const char *target = to.native().constData();
    int result = 0;
    if (replace) {
        result = ::rename(source, target);
    } else {
#ifdef Q_OS_LINUX
        result = ::renameat2(AT_FDCWD, source, AT_FDCWD, target, RENAME_NOREPLACE);
        if (result != 0 && errno == EINVAL) // a file system that cannot say so: a second name, then the first goes
#endif
        {
            result = ::link(source, target);
            if (result == 0)
                ::unlink(source);
        }
    }
    if (result != 0) {
        const int error = errno;
        throw Failure(error == EEXIST ? QStringLiteral("File '%1' exists already.").arg(displayName(to))
                                      : QStringLiteral("File '%1' cannot be put in place: %2")
                                            .arg(displayName(to), QString::fromLocal8Bit(std::strerror(error))),
                      error == EEXIST ? platform::FileInUse : platform::AccessDenied);
    }
}

namespace {

// Follows the symbolic links from `path` by their text, as an open that
// creates the file does, handing each link's text to `visit` until it says
// stop; the path the links end at (or the last reached).
template <class Visit>
LocalPath followLinks(const LocalPath &path, Visit visit)
{
    LocalPath current = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat status;
        if (::lstat(current.native().constData(), &status) != 0 || !S_ISLNK(status.st_mode))
            return current;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t size = ::readlink(current.native().constData(), target.data(), target.size());
        if (size < 0)
            return current;
        target.truncate(size);
        if (!visit(target))
            return current;
        current = target.startsWith('/') ? LocalPath::fromNative(target) : current.folder().child(target);
    }
    return current;
}

} // namespace

bool linksSpellable(const LocalPath &path)
{
    bool spellable = true;
    followLinks(path, [&](const QByteArray &target) {
        spellable = LocalPath::fromText(LocalPath::fromNative(target).text()).native() == target;
        return spellable;
    });
    return spellable;
}

LocalPath linkTarget(const LocalPath &path)
{
    return followLinks(path, [](const QByteArray &) { return true; });
}

bool isTerminal(int fd)
{
    return ::isatty(fd) == 1;
}

bool holdStandardStream(int fd)
{
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
        return true;
    const int held = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (held >= 0 && held != fd) {
        ::dup2(held, fd);
        ::close(held);
    }
    return false;
}

void rawStandardOutput() {}

std::optional<QString> systemDecode(int, QByteArrayView)
{
    return std::nullopt;
}

bool fileNamesIgnoreCase()
{
    return false;
}

bool isStreamDevice(const LocalPath &path)
{
    struct stat status;
    return !path.isEmpty() && ::stat(path.native().constData(), &status) == 0
        && (S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode));
}

std::optional<FileIdentity> identityOf(const LocalPath &path)
{
    struct stat status;
    if (path.isEmpty() || ::stat(path.native().constData(), &status) != 0)
        return std::nullopt;
    return FileIdentity{quint64(status.st_dev), quint64(status.st_ino)};
}

std::optional<QString> soleEntryName(const LocalPath &path)
{
    struct stat status;
    if (path.isEmpty() || ::stat(path.native().constData(), &status) != 0 || !S_ISREG(status.st_mode)
        || status.st_nlink != 1)
        return std::nullopt;
    char *const resolved = ::realpath(path.native().constData(), nullptr);
    if (!resolved)
        return std::nullopt;
    const QString name = LocalPath::fromNative(QByteArray(resolved)).fileName();
    ::free(resolved);
    return name;
}

#else

// Known by name, never by opening: opening a named pipe to ask its type
// would take one of its instances, and a serial port may never answer. The
// device namespace (\\.\pipe\…, \\.\COM1) and the reserved device names,
// which name the device in any folder and with any extension.
namespace {
bool namesDevice(const LocalPath &path)
{
    const QString &native = path.native();
    if (native.startsWith(QLatin1String("\\\\.\\")))
        return true;
    const QString name = path.fileName().section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    static const QStringList reserved{"NUL", "CON", "PRN", "AUX", "CONIN$", "CONOUT$",
                                      "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
                                      "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    return reserved.contains(name);
}
} // namespace

FileKind kindOf(const LocalPath &path)
{
    if (namesDevice(path))
        return FileKind::Other;
    const HANDLE handle = openHandle(path.native(), 0, FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE)
        return kindOfError(GetLastError());
    FileKind kind = FileKind::Other;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info))
        kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Folder : FileKind::Regular;
    CloseHandle(handle);
    return kind;
}

QList<FolderEntry> listFolder(const LocalPath &folder, EntriesWanted wanted)
{
    WIN32_FIND_DATAW data;
    const QString pattern = folder.child(QStringLiteral("*")).native();
    const HANDLE find = FindFirstFileExW(reinterpret_cast<const wchar_t *>(pattern.utf16()), FindExInfoBasic,
                                         &data, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        const FileKind kind = kindOfError(GetLastError());
        if (kind == FileKind::Missing)
            throw Failure(QStringLiteral("Folder '%1' does not exist.").arg(folder.text()), platform::FileDoesNotExist);
        throw Failure(QStringLiteral("Access to folder '%1' is denied.").arg(folder.text()), platform::AccessDenied);
    }
    QList<FolderEntry> entries;
    do {
        const QString name = QString::fromWCharArray(data.cFileName);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        if (wanted == EntriesWanted::MaybeLinks && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        FolderEntry found;
        found.name = name;
        found.text = name;
        found.maybeLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        found.kind = namesDevice(folder.child(name))                    ? FileKind::Other
            : (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)         ? FileKind::Folder
            : (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)     ? kindOf(folder.child(name))
                                                                          : FileKind::Regular;
        entries.append(std::move(found));
    } while (FindNextFileW(find, &data));
    const DWORD error = GetLastError();
    FindClose(find);
    if (error != ERROR_NO_MORE_FILES)
        throw Failure(QStringLiteral("Folder '%1' cannot be read.").arg(folder.text()), platform::AccessDenied);
    return entries;
}

void openRegularFile(QFile &file, const LocalPath &path)
{
    const QString name = displayName(path);
    const FileKind kind = kindOf(path);
    if (kind != FileKind::Regular)
        throw failureFor(kind, name);
    const HANDLE handle = openHandle(path.native(), GENERIC_READ, FILE_ATTRIBUTE_NORMAL);
    if (handle == INVALID_HANDLE_VALUE)
        throw failureFor(kindOfError(GetLastError()), name);
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        throw notRegular(name, FileKind::Other);
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        throw accessDenied(name);
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        _close(fd);
        throw accessDenied(name);
    }
}

HeldFolder::HeldFolder(const LocalPath &folder) : m_path(folder) {}

HeldFolder::~HeldFolder() = default;

ReadOnlyFile::ReadOnlyFile(const LocalPath &path) : m_path(path)
{
    openRegularFile(m_file, path);
    m_size = m_file.size();
}

ReadOnlyFile::ReadOnlyFile(const HeldFolder &, const LocalPath &path) : ReadOnlyFile(path) {}

ReadOnlyFile::~ReadOnlyFile() = default;

void ReadOnlyFile::appendAt(qint64 offset, qint64 count, QByteArray &bytes) const
{
    if (!m_file.seek(offset))
        return;
    bytes += readSome(m_file, count, displayName(m_path));
}

bool linksSpellable(const LocalPath &)
{
    return true; // Windows names are UTF-16, which every QString holds
}

LocalPath linkTarget(const LocalPath &path)
{
    return path; // symbolic links need privileges on Windows: they are not followed here
}

void startWriteBack(int, qint64, qint64)
{
    // FlushFileBuffers, when the file is committed, is the only request.
}

QString syncToDisk(int fd)
{
    if (fd < 0)
        return QString();
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE || FlushFileBuffers(handle))
        return QString();
    return QStringLiteral("the disk did not take it (error %1)").arg(GetLastError());
}

void takePermissionsOf(int, const LocalPath &) {}

void moveIntoPlace(const LocalPath &from, const LocalPath &to, bool replace)
{
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(from.native().utf16()),
                    reinterpret_cast<const wchar_t *>(to.native().utf16()),
                    MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0)))
        return;
    const DWORD error = GetLastError();
    throw Failure(error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS
                      ? QStringLiteral("File '%1' exists already.").arg(displayName(to))
                      : QStringLiteral("File '%1' cannot be put in place (error %2).").arg(displayName(to)).arg(error),
                  error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? platform::FileInUse
                                                                             : platform::AccessDenied);
}

bool isTerminal(int fd)
{
    return _isatty(fd) != 0;
}

bool holdStandardStream(int fd)
{
    // A program started without a stream has no handle for it; the C runtime
    // then gives the descriptor -2 and never hands its number to a file.
    return _get_osfhandle(fd) >= 0;
}

void rawStandardOutput()
{
    _setmode(1, _O_BINARY);
}

std::optional<QString> systemDecode(int codePage, QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QString();
    if (bytes.size() > std::numeric_limits<int>::max() || !IsValidCodePage(UINT(codePage)))
        return std::nullopt;
    const int size = int(bytes.size());
    const int length = MultiByteToWideChar(UINT(codePage), 0, bytes.data(), size, nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    QString text(length, Qt::Uninitialized);
    MultiByteToWideChar(UINT(codePage), 0, bytes.data(), size, reinterpret_cast<wchar_t *>(text.data()), length);
    return text;
}

bool fileNamesIgnoreCase()
{
    return true;
}

bool isStreamDevice(const LocalPath &path)
{
    return namesDevice(path);
}

std::optional<FileIdentity> identityOf(const LocalPath &path)
{
    if (path.isEmpty())
        return std::nullopt;
    const HANDLE handle = openHandle(path.native(), 0, FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info);
    CloseHandle(handle);
    if (!known)
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, quint64(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

std::optional<QString> soleEntryName(const LocalPath &)
{
    return std::nullopt; // every file is compared by its identity
}

#endif

QByteArray readSome(QFile &file, qint64 maxBytes, const QString &fileName)
{
    QByteArray bytes = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("File '%1' cannot be read: %2").arg(fileName, file.errorString()),
                      platform::AccessDenied);
    return bytes;
}

QByteArray readAt(QFile &file, qint64 offset, qint64 size, const QString &fileName)
{
    if (!file.seek(offset))
        throw Failure(QStringLiteral("'%1' is corrupted: it ends before byte %2.").arg(fileName).arg(offset),
                      platform::TableCorrupted);
    const QByteArray bytes = readSome(file, size, fileName);
    if (bytes.size() != size)
        throw Failure(QStringLiteral("'%1' is corrupted: it ends before byte %2.").arg(fileName).arg(offset + size),
                      platform::TableCorrupted);
    return bytes;
}

QByteArray readAt(const ReadOnlyFile &file, qint64 offset, qint64 size)
{
    QByteArray bytes;
    file.appendAt(offset, size, bytes);
    if (bytes.size() != size)
        throw Failure(QStringLiteral("'%1' is corrupted: it ends before byte %2.")
                          .arg(displayName(file.path()))
                          .arg(offset + size),
                      platform::TableCorrupted);
    return bytes;
}

LocalPath resolveCaseInsensitive(const LocalPath &base, const QString &relative)
{
    QString normalized = relative;
    normalized.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = normalized.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return {};
    LocalPath current = QDir::isAbsolutePath(normalized) ? LocalPath::fromText(QDir::rootPath()) : base;
    for (const QString &part : parts) {
        const LocalPath exact = current.child(LocalPath::fromText(part).native());
        if (part == QLatin1String(".") || part == QLatin1String("..") || kindOf(exact) != FileKind::Missing) {
            current = exact;
            continue;
        }
        QList<FolderEntry> entries;
        try {
            entries = listFolder(current);
        } catch (const Failure &) {
            return {};
        }
        const auto match = std::find_if(entries.cbegin(), entries.cend(), [&](const FolderEntry &entry) {
            return entry.text.compare(part, Qt::CaseInsensitive) == 0;
        });
        if (match == entries.cend())
            return {};
        current = current.child(match->name);
    }
    return current;
}

} // namespace platform

#include "presets/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tz
{

namespace
{
    juce::Result failure (const juce::File& target, const juce::String& what, int error)
    {
        return juce::Result::fail ("Couldn't " + what + " " + target.getFullPathName() + ": "
                                   + juce::String (std::strerror (error)));
    }

    // Hands every byte to the file, resuming after interruptions and short writes; false at the first write that
    // takes nothing (a full disk, a quota, a size limit).
    bool writeAll (int fd, const char* data, std::size_t numBytes, int& error)
    {
        while (numBytes > 0)
        {
            const auto written = ::write (fd, data, numBytes);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
            {
                error = written < 0 ? errno : ENOSPC;
                return false;
            }
            data += written;
            numBytes -= (std::size_t) written;
        }
        return true;
    }

    bool succeeded (int returned, int& error)
    {
        if (returned == 0)
            return true;
        error = errno;
        return false;
    }

    // A new, empty temporary file in `folder`, opened for writing, or -1.
    int createTemporary (const juce::File& folder, juce::File& temporary, int& error)
    {
        juce::Random random;
        for (int attempt = 0; attempt < 16; ++attempt)
        {
            temporary =
                folder.getChildFile (".tazzle-" + juce::String::toHexString (random.nextInt64()) + temporaryFileSuffix);
            const int fd =
                ::open (temporary.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0)
                return fd;
            if (errno != EEXIST)
                break;
        }
        error = errno;
        return -1;
    }
} // namespace

juce::Result replaceFileAtomically (const juce::File& target, const void* data, std::size_t numBytes)
{
    const auto path = target.getFullPathName();
    struct stat existing
    {
    };
    const bool exists = ::stat (path.toRawUTF8(), &existing) == 0;
    if (exists && S_ISDIR (existing.st_mode))
        return failure (target, "replace", EISDIR);
    // A file its owner made read-only stays as it is, even for a user whom the system would let write it.
    if (exists && S_ISREG (existing.st_mode)
        && ((existing.st_mode & S_IWUSR) == 0 || ::access (path.toRawUTF8(), W_OK) != 0))
        return failure (target, "write", EACCES);

    int error = 0;
    juce::File temporary;
    const int fd = createTemporary (target.getParentDirectory(), temporary, error);
    if (fd < 0)
        return failure (target, "write", error);

    const auto& temporaryPath = temporary.getFullPathName();
    bool written = writeAll (fd, static_cast<const char*> (data), numBytes, error)
        && succeeded (exists && S_ISREG (existing.st_mode) ? ::fchmod (fd, existing.st_mode & 07777) : 0, error)
        && succeeded (::fsync (fd), error);
    const int closed = ::close (fd);
    written = written && succeeded (closed, error)
        && succeeded (::rename (temporaryPath.toRawUTF8(), path.toRawUTF8()), error);

    if (! written)
    {
        ::unlink (temporaryPath.toRawUTF8());
        return failure (target, "write", error);
    }

    // The rename itself is made durable with the folder; a folder that can't be synced still holds the file.
    if (const int folder =
            ::open (target.getParentDirectory().getFullPathName().toRawUTF8(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        folder >= 0)
    {
        ::fsync (folder);
        ::close (folder);
    }
    return juce::Result::ok();
}

juce::Result replaceFileAtomically (const juce::File& target, const juce::String& text)
{
    return replaceFileAtomically (target, text.toRawUTF8(), text.getNumBytesAsUTF8());
}

bool ensureFolder (const juce::File& folder)
{
    if (folder.isDirectory())
        return true;
    const auto parent = folder.getParentDirectory();
    if (parent == folder || ! ensureFolder (parent))
        return false;
    return ::mkdir (folder.getFullPathName().toRawUTF8(), 0777) == 0 || folder.isDirectory();
}

} // namespace tz

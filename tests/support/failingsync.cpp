// Preloaded into a program, makes every sync fail as on a disk that could not
// keep what was written: the program must not take its file for saved.

#include <cerrno>

extern "C" {

int fdatasync(int)
{
    errno = EIO;
    return -1;
}

int fsync(int)
{
    errno = EIO;
    return -1;
}

}

// A shared library that only announces that it was loaded: its constructor
// leaves the file "planted-library-was-loaded" in the current folder.  The
// safety tests copy it into a working folder under the name of a library
// kolmo-cli needs; a program that searched the working folder for its
// libraries would run this code.
#include <fcntl.h>
#include <unistd.h>

namespace {

__attribute__((constructor)) void announce()
{
    const int fd = ::open("planted-library-was-loaded", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0)
        ::close(fd);
}

} // namespace

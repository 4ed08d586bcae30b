// Stands in for the registration program: opens brinfo.ini over and over, as
// that program may at any moment, until stdin has input or closes. Each read
// must find no file or, byte for byte, one of the whole files given.
//
//   handoff_peer <brinfo.ini> <whole file>...
//   stdout: "reads R", or "fail at read R"

#include <QFile>
#include <QList>

#include <poll.h>
#include <unistd.h>

#include <cstdio>

namespace {

QByteArray contents(const char *path)
{
    QFile file(QString::fromLocal8Bit(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<missing>");
}

} // namespace

int main(int argc, char **argv)
{
    QList<QByteArray> whole{QByteArrayLiteral("<missing>")};
    for (int i = 2; i < argc; ++i)
        whole.append(contents(argv[i]));
    for (long reads = 1;; ++reads) {
        if (!whole.contains(contents(argv[1]))) {
            std::printf("fail at read %ld\n", reads);
            return 1;
        }
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (poll(&in, 1, 0) > 0) {
            std::printf("reads %ld\n", reads);
            return 0;
        }
    }
}

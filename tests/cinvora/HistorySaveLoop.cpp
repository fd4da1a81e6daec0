// Test helper: writes a saved list through vcHistory in a loop until killed. Each version holds n % 50 + 1
// entries all tagged with generation n; prints one line after the first write.
#include <vcHistory.h>

#include <QCoreApplication>
#include <QVariantList>
#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const vcHistory history(QString::fromLocal8Bit(argv[1]));
    for (int n = 0;; ++n) {
        QVariantList entries;
        for (int i = 0; i < n % 50 + 1; ++i)
            entries << QVariantMap{{"generation", n},
                                   {"currentFilePath", QStringLiteral("/media/clip%1.mp4").arg(i)},
                                   {"currentTrackStartKey", 12.5},
                                   {"currentTrackEndKey", 20.0}};
        if (!history.write(entries))
            return 1;
        if (n == 0) {
            std::puts("written");
            std::fflush(stdout);
        }
    }
}

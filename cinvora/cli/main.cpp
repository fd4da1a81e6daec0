// cinvora-cli: the converter without a window.
#include "BatchCommand.h"
#include "ConvertArgs.h"
#include "ConvertCommand.h"
#include "ProbeCommand.h"
#include "SignalWatcher.h"

#include <framewheel/Codec.h>
#include <vcTranslations.h>

#include <QCoreApplication>
#include <cstdio>

namespace {
void usage(FILE *to) {
    std::fputs("Usage: cinvora-cli COMMAND [ARGS]\n"
               "\n"
               "Commands:\n"
               "  probe [--thumbnails] FILE...\n"
               "                    print what each file holds, one JSON object per line;\n"
               "                    exit status 1 when any file cannot be read\n"
               "  formats           list the output formats: key path, container, extension\n",
               to);
    std::fputs(convertUsage(), to);
    std::fputs("  -h, --help        this text\n", to);
}
} // namespace

int main(int argc, char **argv) {
    // Before anything else: from here a signal is a request to stop, never the default
    // action's sudden death (which would leave a partial output behind).
    SignalWatcher interrupts;
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Cinvora");
    QCoreApplication::setApplicationName("Cinvora");
    // English whatever the locale: the command line's own texts are not translated, and a
    // table half in another language would be worse than none.
    vcTranslations::install(app, QLocale(QLocale::English));
    SWInitCodec(argc, argv);
    const QStringList args = app.arguments().mid(1);
    int rc = 0;
    if (args.isEmpty() || args.first() == "--help" || args.first() == "-h") {
        usage(args.isEmpty() ? stderr : stdout);
        rc = args.isEmpty() ? 2 : 0;
    } else if (args.first() == "probe") {
        rc = runProbe(args.mid(1), interrupts);
    } else if (args.first() == "formats") {
        rc = runFormats();
    } else if (args.first() == "convert") {
        rc = runConvert(args.mid(1), interrupts);
    } else {
        std::fprintf(stderr, "cinvora-cli: unknown command '%s'\n", qPrintable(args.first()));
        usage(stderr);
        rc = 2;
    }
    SWUnInitCodec();
    // The convert command answers a signal itself; the others were cut short by it.
    if (interrupts.caught() && args.value(0) != QLatin1String("convert"))
        rc = 130;
    return rc;
}

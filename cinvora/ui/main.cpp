// Cinvora: the window program.
#include <framewheel/Codec.h>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char **argv) {
    SWInitCodec(argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Cinvora");
    QApplication::setApplicationName("Cinvora");
    QMainWindow window;
    window.setWindowTitle("Cinvora");
    auto *label = new QLabel("Cinvora is under construction.");
    label->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(label);
    window.resize(900, 600);
    window.show();
    const int rc = app.exec();
    SWUnInitCodec();
    return rc;
}

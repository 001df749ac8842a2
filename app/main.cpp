// Corvella: the Quillane cut-out window.
#include <QApplication>

#include "Unit1.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    PrepareApplication(application);
    TForm1 Form1;
    Form1.show();
    return application.exec();
}

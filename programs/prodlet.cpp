// prodlet: the program on the Qt Widgets backend, for desktops.
#include "app/ProdletApp.h"
#include "framework/qt/QtPort.h"

int main(int argc, char** argv)
{
    AfxSetPort(&AfxQtPort());
    // The application object lives exactly as long as the program runs;
    // AfxWinMain has closed everything of it by the time it returns.
    CProdletApp app;
    return AfxWinMain(argc, argv);
}

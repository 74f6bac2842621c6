#include "app/ProdletApp.h"

// The one application object.
CProdletApp theApp;

int main(int argc, char** argv) { return AfxWinMain(argc, argv); }

// Kavrano: measure lengths and areas on satellite imagery.
#include "kavrano/app/app_delegate.h"

int main(int argc, char** argv) { return kavrano::runApp(argc, argv); }

#include "scan/run.h"

int main(int argc, char** argv) { return RunScan(argc, argv); }

#include "pdf2ofd.h"

int main(int argc, char** argv) { return quorv::pdf2ofd::runTool(argc, argv); }

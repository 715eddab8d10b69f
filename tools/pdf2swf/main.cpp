#include "pdf2swf.h"

int main(int argc, char** argv) { return quorv::pdf2swf::runTool(argc, argv); }

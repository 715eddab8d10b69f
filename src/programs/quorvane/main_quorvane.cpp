#include "programs/quorvane/quorvane_start.h"

int main(int argc, char** argv) { return quorv::runQuorvane(argc, argv); }

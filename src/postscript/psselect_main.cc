// The page selector as a program of its own; exits 1 after a fatal error.
#include "postscript/page_selector.h"

int main(int argc, char** argv) { return scrivex::SelectPages(argc, argv); }

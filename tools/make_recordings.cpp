// Build step: writes the 45 scale recordings into the folder named on the command line.
#include "write_scale_recordings.h"

#include <exception>
#include <iostream>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::cerr << "usage: make_recordings <folder>\n";
        return 2;
    }
    try {
        WriteScaleRecordings(argv[1]);
    } catch (const std::exception &error) {
        std::cerr << "make_recordings: " << error.what() << '\n';
        return 1;
    }
    return 0;
}

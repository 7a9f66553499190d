// sundra-synchronizer: the console build of SundraSynchronizer (see README.md for its commands).
#include <iostream>

#include "app/console/console_front_end.h"

int main() {
    try {
        application::console::ConsoleFrontEnd frontEnd(std::cout);
        return frontEnd.Run();
    } catch (...) {
        std::cerr << "sundra-synchronizer: unexpected failure" << std::endl;
        return 1;
    }
}

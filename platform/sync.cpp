#include "platform/sync.h"

#include <chrono>
#include <thread>

void sleep_ms(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Announces a release from 127.0.0.1 for the Standalone notice test: prints the server's address, then
// "requests N" each time the count of requests changes, and stops after the given number of seconds.
//
// Usage: tazzle_update_test_server VERSION SECONDS

#include <cstdlib>
#include <iostream>
#include <thread>

#include "../LocalHttpServer.h"

int main (int argc, char** argv)
{
    if (argc != 3)
    {
        std::cerr << "usage: " << argv[0] << " VERSION SECONDS\n";
        return 2;
    }

    const std::string version = argv[1];
    const auto lifetime = std::chrono::seconds (std::atoi (argv[2]));
    const tz::test::LocalHttpServer server (
        { 200, R"({"tazzle":{"version":")" + version + R"(","page":"https://www.quarrowtools.com/tazzle"}})" },
        lifetime);
    std::cout << server.address() << std::endl;

    int reported = 0;
    for (const auto end = std::chrono::steady_clock::now() + lifetime; std::chrono::steady_clock::now() < end;)
    {
        std::this_thread::sleep_for (std::chrono::milliseconds (20));
        if (const int count = server.requestCount(); count != reported)
        {
            reported = count;
            std::cout << "requests " << count << std::endl;
        }
    }
    return 0;
}

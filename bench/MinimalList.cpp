// The floor for `vobrik --list`: a toolkit-free program that reads the same
// reminder file and prints one line a reminder, date and message, and does
// nothing else. Usage: vobrik_minimal_list FILE
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

int main(int argc, char* argv[]) {
    if (argc != 2)
        return 2;
    std::FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr)
        return 1;
    std::vector<unsigned char> bytes;
    unsigned char buffer[8192];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);
    for (size_t at = 0; at + 213 <= bytes.size(); at += 213) {
        const std::time_t when =
            static_cast<int32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                 static_cast<uint32_t>(bytes[at + 3]) << 24);
        std::tm local{};
        localtime_r(&when, &local);
        char date[64];
        std::strftime(date, sizeof date, "%A %d %B %Y %H:%M", &local);
        std::printf("%s  %.199s\n", date, reinterpret_cast<const char*>(&bytes[at + 4]));
    }
    return 0;
}

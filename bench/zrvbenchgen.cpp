// Writes a deterministic benchmark input: the same bytes for the same arguments, everywhere.
//
//   zrvbenchgen mixed <MiB> <output>    realistically compressible: prose, log lines, binary
//                                       records and some incompressible stretches, interleaved
//   zrvbenchgen random <MiB> <output>   incompressible

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// splitmix64: small, fast and fully specified, so inputs never depend on a library's generator.
class Random
{
public:
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint32_t below(std::uint32_t bound) { return std::uint32_t(next() % bound); }
    // Small indexes far more often than large ones, as word frequencies are.
    std::uint32_t skewedBelow(std::uint32_t bound)
    {
        return std::uint32_t(std::uint64_t(below(bound)) * below(bound) / bound);
    }

private:
    std::uint64_t state_ = 2024;
};

class MixedWriter
{
public:
    explicit MixedWriter(Random& random)
        : random_(random)
    {
        static const char* const syllables[] = {"ka", "ter", "on", "mi", "sel", "ra", "pu", "den", "lo", "vis",
                                                "an", "tor", "qui", "be", "nal", "ex", "do", "ri", "st", "um"};
        for (int i = 0; i < 4096; ++i) {
            std::string word;
            for (std::uint32_t s = 1 + random_.below(4); s > 0; --s)
                word += syllables[random_.below(20)];
            words_.push_back(word);
        }
    }

    // Appends one stretch of 4 to 64 KiB of one kind of content.
    void appendSegment(std::string& out)
    {
        const std::size_t end = out.size() + 4096 + random_.below(60 * 1024);
        const std::uint32_t kind = random_.below(100);
        while (out.size() < end) {
            if (kind < 40)
                appendSentence(out);
            else if (kind < 65)
                appendLogLine(out);
            else if (kind < 85)
                appendRecord(out);
            else
                appendRandom(out);
        }
    }

private:
    const std::string& word() { return words_[random_.skewedBelow(std::uint32_t(words_.size()))]; }

    void appendSentence(std::string& out)
    {
        for (std::uint32_t n = 4 + random_.below(14); n > 0; --n)
            out += word() + (n > 1 ? " " : random_.below(4) ? ". " : ".\n");
    }

    void appendLogLine(std::string& out)
    {
        static const char* const levels[] = {"DEBUG", "INFO", "INFO", "INFO", "WARN", "ERROR"};
        clock_ += 1 + random_.below(900);
        char line[160];
        std::snprintf(line, sizeof line, "2024-03-%02u %02u:%02u:%02u.%03u %-5s [%s] ",
                      unsigned(1 + clock_ / 86400000 % 28), unsigned(clock_ / 3600000 % 24),
                      unsigned(clock_ / 60000 % 60), unsigned(clock_ / 1000 % 60), unsigned(clock_ % 1000),
                      levels[random_.below(6)], words_[random_.below(16)].c_str());
        out += line;
        appendSentence(out);
        out.back() = ' ';
        std::snprintf(line, sizeof line, "id=%u size=%u\n", random_.below(100000), random_.skewedBelow(1u << 20));
        out += line;
    }

    void appendRecord(std::string& out)
    {
        struct { std::uint64_t sequence; std::uint32_t value, flags; char name[16]; } record{};
        record.sequence = ++sequence_;
        record.value = random_.skewedBelow(1000);
        record.flags = random_.below(4);
        std::strncpy(record.name, words_[random_.skewedBelow(256)].c_str(), sizeof record.name - 1);
        out.append(reinterpret_cast<const char*>(&record), sizeof record);
    }

    void appendRandom(std::string& out)
    {
        const std::uint64_t value = random_.next();
        out.append(reinterpret_cast<const char*>(&value), sizeof value);
    }

    Random& random_;
    std::vector<std::string> words_;
    std::uint64_t clock_ = 0;
    std::uint64_t sequence_ = 0;
};

} // namespace

int main(int argc, char** argv)
{
    const long mib = argc == 4 ? std::strtol(argv[2], nullptr, 10) : 0;
    const bool mixed = argc == 4 && std::strcmp(argv[1], "mixed") == 0;
    if (mib <= 0 || !(mixed || std::strcmp(argv[1], "random") == 0)) {
        std::fprintf(stderr, "usage: zrvbenchgen mixed|random <MiB> <output>\n");
        return 1;
    }
    std::FILE* file = std::fopen(argv[3], "wb");
    if (!file) {
        std::perror(argv[3]);
        return 1;
    }
    Random random;
    MixedWriter writer(random);
    std::string chunk;
    for (std::size_t left = std::size_t(mib) << 20; left > 0;) {
        while (chunk.size() < (1u << 20)) {
            if (mixed) {
                writer.appendSegment(chunk);
            } else {
                const std::uint64_t value = random.next();
                chunk.append(reinterpret_cast<const char*>(&value), sizeof value);
            }
        }
        const std::size_t count = chunk.size() < left ? chunk.size() : left;
        if (std::fwrite(chunk.data(), 1, count, file) != count) {
            std::perror(argv[3]);
            return 1;
        }
        chunk.erase(0, count);
        left -= count;
    }
    return std::fclose(file) == 0 ? 0 : 1;
}

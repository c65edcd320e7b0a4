// Writes a deterministic benchmark input: the same bytes for the same arguments, everywhere.
//
//   zrvbenchgen mixed <MiB> <output>    realistically compressible: prose, log lines, binary
//                                       records and some incompressible stretches, interleaved
//   zrvbenchgen random <MiB> <output>   incompressible
//   zrvbenchgen image <MiB> <base> <changed>
//                                       two disk images of 128 KiB blocks, each with its usage
//                                       map (<image>.used, one byte per block, 0 for a free
//                                       block): in runs of 1 to 32 blocks, 30 % free (zero),
//                                       10 % used but zero, 60 % used mixed data. The
//                                       changed image differs in 1 % of the blocks, picked
//                                       evenly at random, which hold new mixed data and are used.

#include <algorithm>
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
    explicit Random(std::uint64_t seed = 2024)
        : state_(seed)
    {
    }

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
    std::uint64_t state_;
};

class MixedWriter
{
public:
    explicit MixedWriter(Random& random)
        : random_(random)
    {
        static const char* const syllables[] = {"ka", "ter", "on",  "mi", "sel", "ra", "pu", "den", "lo", "vis",
                                                "an", "tor", "qui", "be", "nal", "ex", "do", "ri",  "st", "um"};
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
        struct
        {
            std::uint64_t sequence;
            std::uint32_t value, flags;
            char name[16];
        } record{};
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

// Endless content from one seed, handed out in pieces of any size: mixed, or incompressible
// (random draws continue the generator after the mixed writer's word list).
class ContentSource
{
public:
    explicit ContentSource(std::uint64_t seed)
        : random_(seed)
        , writer_(random_)
    {
    }

    void takeMixed(char* out, std::size_t count)
    {
        while (pending_.size() < count)
            writer_.appendSegment(pending_);
        std::memcpy(out, pending_.data(), count);
        pending_.erase(0, count);
    }

    // count is a multiple of 8.
    void takeRandom(char* out, std::size_t count)
    {
        for (std::size_t offset = 0; offset < count; offset += sizeof(std::uint64_t)) {
            const std::uint64_t value = random_.next();
            std::memcpy(out + offset, &value, sizeof value);
        }
    }

private:
    Random random_;
    MixedWriter writer_;
    std::string pending_;
};

class Output
{
public:
    explicit Output(const std::string& path)
        : path_(path)
        , file_(std::fopen(path.c_str(), "wb"))
    {
        if (!file_)
            std::perror(path.c_str());
    }
    ~Output() { close(); }

    bool isOpen() const { return file_ != nullptr; }
    bool write(const char* data, std::size_t count)
    {
        if (std::fwrite(data, 1, count, file_) == count)
            return true;
        std::perror(path_.c_str());
        return false;
    }
    bool close()
    {
        const bool closed = !file_ || std::fclose(file_) == 0;
        file_ = nullptr;
        return closed;
    }

private:
    std::string path_;
    std::FILE* file_;
};

int writeImages(long mib, const std::string& basePath, const std::string& changedPath)
{
    constexpr std::size_t blockSize = 128 * 1024;
    enum Kind { Free, UsedZero, UsedData };
    const std::uint64_t blocks = std::uint64_t(mib) * 1024 * 1024 / blockSize;
    Output base(basePath), baseUsage(basePath + ".used"), changed(changedPath), changedUsage(changedPath + ".used");
    if (!base.isOpen() || !baseUsage.isOpen() || !changed.isOpen() || !changedUsage.isOpen())
        return 1;

    Random layout(7);
    Random picks(11);
    ContentSource data(2024);
    ContentSource newData(4048);
    std::vector<char> block(blockSize), newBlock(blockSize);
    std::uint64_t toChange = (blocks + 50) / 100;
    // Runs of random length; each run goes to the kind furthest below its share so far, so the
    // shares hold at any image size.
    const std::int64_t percent[] = {30, 10, 60};
    std::int64_t count[] = {0, 0, 0};
    const auto deficit = [&](Kind of, std::uint64_t index) {
        return percent[of] * std::int64_t(index) - 100 * count[of];
    };
    Kind kind = Free;
    std::uint32_t runLeft = 0;
    for (std::uint64_t index = 0; index < blocks; ++index) {
        if (runLeft == 0) {
            kind = Free;
            for (const Kind candidate : {UsedZero, UsedData})
                if (deficit(candidate, index) > deficit(kind, index))
                    kind = candidate;
            runLeft = 1 + layout.below(32);
        }
        --runLeft;
        ++count[kind];
        if (kind == UsedData)
            data.takeMixed(block.data(), blockSize);
        else
            std::fill(block.begin(), block.end(), '\0');
        const char used = kind != Free;
        // Selection sampling: exactly toChange of the blocks, each equally likely.
        const bool change = picks.next() % (blocks - index) < toChange;
        if (change) {
            --toChange;
            newData.takeMixed(newBlock.data(), blockSize);
        }
        const char changedUsed = change || used;
        if (!base.write(block.data(), blockSize) || !baseUsage.write(&used, 1)
            || !changed.write(change ? newBlock.data() : block.data(), blockSize)
            || !changedUsage.write(&changedUsed, 1))
            return 1;
    }
    return base.close() && baseUsage.close() && changed.close() && changedUsage.close() ? 0 : 1;
}

int writeInput(bool mixed, long mib, const char* path)
{
    Output output(path);
    if (!output.isOpen())
        return 1;
    ContentSource content(2024);
    std::vector<char> chunk(1 << 20);
    for (long written = 0; written < mib; ++written) {
        if (mixed)
            content.takeMixed(chunk.data(), chunk.size());
        else
            content.takeRandom(chunk.data(), chunk.size());
        if (!output.write(chunk.data(), chunk.size()))
            return 1;
    }
    return output.close() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string kind = argc > 1 ? argv[1] : "";
    const long mib = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 0;
    if (mib > 0 && argc == 5 && kind == "image")
        return writeImages(mib, argv[3], argv[4]);
    if (mib > 0 && argc == 4 && (kind == "mixed" || kind == "random"))
        return writeInput(kind == "mixed", mib, argv[3]);
    std::fprintf(stderr, "usage: zrvbenchgen mixed|random <MiB> <output> | image <MiB> <base> <changed>\n");
    return 1;
}

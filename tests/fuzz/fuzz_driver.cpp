// Runs a fuzz target without libFuzzer: inputs drawn from a fixed seed, so a
// failure comes back with the same command line. No coverage guidance; the
// inputs are shaped like the record files (whole records, cut records,
// lengths at and past their fields, NULs) and then damaged at random.
//
//   records_fuzz [--runs N] [--seconds S] [--seed X] [--max-len L] [FILE...]
//
// With FILEs (for example a crash saved by libFuzzer) only they are run.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kRecordSize = 563;
// The sizes where the readers change what they do: one record, the scan
// dump, the vault file.
constexpr std::size_t kBoundaries[] = {kRecordSize, 281500, 563000};

struct Options {
    long long runs = 10000;
    double seconds = 60;
    std::uint64_t seed = 1;
    std::size_t maxLen = 570000;
    std::vector<std::string> files;
};

[[noreturn]] void Usage() {
    std::fprintf(stderr,
                 "usage: records_fuzz [--runs N] [--seconds S] [--seed X] [--max-len L] "
                 "[FILE...]\n");
    std::exit(2);
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        try {
            if (arg == "--runs" && hasValue) {
                o.runs = std::stoll(argv[++i]);
            } else if (arg == "--seconds" && hasValue) {
                o.seconds = std::stod(argv[++i]);
            } else if (arg == "--seed" && hasValue) {
                o.seed = std::stoull(argv[++i]);
            } else if (arg == "--max-len" && hasValue) {
                o.maxLen = std::stoull(argv[++i]);
            } else if (arg.rfind("--", 0) == 0) {
                Usage();
            } else {
                o.files.push_back(arg);
            }
        } catch (const std::exception&) {
            Usage();
        }
    }
    return o;
}

class Generator {
public:
    Generator(std::uint64_t seed, std::size_t maxLen) : random_(seed), maxLen_(maxLen) {}

    Bytes Next() {
        Bytes input;
        switch (Below(4)) {
            case 0:
                input = Noise(Length());
                break;
            case 1:
            case 2:
                input = Records(Below(6) == 0 ? 1000 : Below(12));
                break;
            default:
                input = pool_.empty() ? Noise(Length()) : pool_[Below(pool_.size())];
                break;
        }
        Damage(input);
        if (input.size() > maxLen_) input.resize(maxLen_);
        if (input.size() < 4096) {
            if (pool_.size() < 64) {
                pool_.push_back(input);
            } else {
                pool_[Below(pool_.size())] = input;
            }
        }
        return input;
    }

private:
    std::size_t Below(std::size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
    }
    std::uint8_t AnyByte() { return static_cast<std::uint8_t>(Below(256)); }

    // Mostly short, sometimes near a size where the readers change course.
    std::size_t Length() {
        if (Below(8) == 0) {
            const std::size_t b = kBoundaries[Below(std::size(kBoundaries))];
            return b - std::min(b, Below(600)) + Below(600);
        }
        const std::size_t bits = Below(13);
        return Below(std::size_t{1} << bits);
    }

    Bytes Noise(std::size_t n) {
        Bytes bytes(n);
        const int fill = static_cast<int>(Below(3));
        for (auto& b : bytes)
            b = fill == 0 ? AnyByte() : fill == 1 ? 0xFF : static_cast<std::uint8_t>(Below(3));
        return bytes;
    }

    // A short string field, length byte first, as the writers lay it out,
    // or with a length past the text, a NUL inside, or no zero tail.
    void Field(std::uint8_t* field, std::size_t capacity) {
        std::size_t length = Below(capacity + 1);
        if (Below(4) == 0) length = capacity - std::min(capacity, Below(3));
        field[0] = static_cast<std::uint8_t>(Below(5) == 0 ? 200 + Below(56) : length);
        for (std::size_t i = 0; i < capacity; ++i)
            field[1 + i] = i < length ? static_cast<std::uint8_t>('!' + Below(90)) : 0;
        if (Below(5) == 0 && length > 0) field[1 + Below(length)] = 0;
        if (Below(6) == 0) {
            for (std::size_t i = length; i < capacity; ++i)
                field[1 + i] = AnyByte();
        }
    }

    Bytes Records(std::size_t count) {
        Bytes bytes(count * kRecordSize, 0);
        for (std::size_t r = 0; r < count; ++r) {
            std::uint8_t* record = bytes.data() + r * kRecordSize;
            Field(record, 255);
            Field(record + 256, 255);
            Field(record + 512, 50);
        }
        return bytes;
    }

    void Damage(Bytes& input) {
        const std::size_t edits = Below(4) == 0 ? 0 : 1 + Below(8);
        for (std::size_t e = 0; e < edits; ++e) {
            switch (Below(5)) {
                case 0:  // cut anywhere, most often inside a record
                    input.resize(Below(input.size() + 1));
                    break;
                case 1:
                    input.insert(input.end(), Below(kRecordSize * 2), AnyByte());
                    break;
                default:
                    if (!input.empty()) {
                        const std::uint8_t values[] = {0, 0xFF, 255, 50, 51, 254, AnyByte()};
                        input[Below(input.size())] = values[Below(std::size(values))];
                    }
                    break;
            }
        }
    }

    std::mt19937_64 random_;
    std::size_t maxLen_;
    std::vector<Bytes> pool_;
};

bool RunFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "records_fuzz: cannot read %s\n", path.c_str());
        return false;
    }
    const Bytes input((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(input.data(), input.size());
    std::printf("records_fuzz: %s (%zu bytes) passed\n", path.c_str(), input.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = Parse(argc, argv);
    if (!options.files.empty()) {
        bool ok = true;
        for (const std::string& path : options.files)
            ok = RunFile(path) && ok;
        return ok ? 0 : 1;
    }

    // The bare edges first: no data at all, and exactly full files.
    LLVMFuzzerTestOneInput(nullptr, 0);
    for (std::size_t size : kBoundaries) {
        const Bytes zeros(size, 0);
        const Bytes ones(size, 0xFF);
        LLVMFuzzerTestOneInput(zeros.data(), zeros.size());
        LLVMFuzzerTestOneInput(ones.data(), ones.size());
    }

    // The time limit only ends the run early; it is not a result.
    const auto start = std::chrono::steady_clock::now();
    const auto limit = std::chrono::duration<double>(options.seconds);
    Generator generator(options.seed, options.maxLen);
    long long done = 0;
    bool outOfTime = false;
    for (; done < options.runs; ++done) {
        if (std::chrono::steady_clock::now() - start >= limit) {
            outOfTime = true;
            break;
        }
        const Bytes input = generator.Next();
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("records_fuzz: %lld runs in %.1f s (seed %llu)%s\n", done, elapsed,
                static_cast<unsigned long long>(options.seed),
                outOfTime ? ", stopped at the time limit" : "");
    return 0;
}

// Bytes per second through filterLine on the kinds of line a mailbox holds.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "filter/filter.h"
#include "filter/reference_filter.h"

namespace {

std::string base64Line() {
    static const char ALPHABET[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string line;
    for (int i = 0; i < 76; ++i) {
        line += ALPHABET[(i * 37 + 11) % 64];
    }
    return line;
}

std::string plainTextLine() {
    return "Thank you for your order. The parcel leaves our warehouse on Monday, and "
           "you can follow it.";
}

std::string denseHtmlLine() {
    std::string line;
    const char* const pieces[] = {"<img src=a.gif>", "<IFRAME src=x>", "</script>",
                                  "name=setup.exe ", "<a href=x.js>",  "filename=b.vbs; "};
    for (int i = 0; line.size() < 2000; ++i) {
        line += pieces[i % 6];
    }
    line.resize(2000);
    return line;
}

// Filters copies of the line, as the relay does once per body line.
void filterCopies(benchmark::State& state, const std::string& line, void (*filter)(char*)) {
    std::vector<char> buffer(line.size() + 1);
    for (auto _ : state) {
        std::memcpy(buffer.data(), line.c_str(), line.size() + 1);
        filter(buffer.data());
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}

// Each line through the one-pass filter and, for comparison, the reference.
BENCHMARK_CAPTURE(filterCopies, Base64Lines, base64Line(), filterLine);
BENCHMARK_CAPTURE(filterCopies, Base64LinesReference, base64Line(), referenceFilterLine);
BENCHMARK_CAPTURE(filterCopies, PlainTextLines, plainTextLine(), filterLine);
BENCHMARK_CAPTURE(filterCopies, PlainTextLinesReference, plainTextLine(), referenceFilterLine);
BENCHMARK_CAPTURE(filterCopies, DenseHtmlLine, denseHtmlLine(), filterLine);
BENCHMARK_CAPTURE(filterCopies, DenseHtmlLineReference, denseHtmlLine(), referenceFilterLine);

}  // namespace

BENCHMARK_MAIN();

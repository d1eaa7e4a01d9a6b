// Throughput of the reply scanners (Google Benchmark) on the replies the simulated controller
// really sends. Each scanner is paired with its floor: the tag search every text scanner must
// do (QByteArray::indexOf of its tag over the same reply), or for the fixed binary records a
// plain memcpy of the bytes. Prints one table row per scanner with the median of 5 repetitions.

#include "benchutil.h"
#include "protocol.h"
#include "simdevice.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>

namespace {

QByteArray ask(sim::Device &device, const QByteArray &request)
{
    const QList<QByteArray> replies = device.feed(request);
    return replies.isEmpty() ? QByteArray() : replies.first();
}

struct Replies
{
    QByteArray identity, reg, rssi, measurement, settings, record, writeOk;
    Replies()
    {
        sim::Device tx(sim::Device::Transmitter, 296);
        identity = ask(tx, proto::versionRequest());
        settings = ask(tx, proto::readSettingsRequest());
        measurement = ask(tx, proto::levelRequest(296, 0));
        ask(tx, proto::commandModeFrame());
        reg = ask(tx, proto::registerReadFrame(250));
        rssi = ask(tx, proto::rssiRequestFrame());
        writeOk = ask(tx, proto::registerWriteFrame(202, 5));
        sim::Device rx(sim::Device::Receiver, 221);
        record = ask(rx, proto::transmitterDataRequest(221, 5));
    }
};

const Replies &replies()
{
    static const Replies r;
    return r;
}

template <typename F>
void run(benchmark::State &state, const QByteArray &reply, F f)
{
    for (auto _ : state)
        f(reply);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * reply.size());
}

void floorSearch(benchmark::State &state, const QByteArray &reply, const QByteArray &tag)
{
    run(state, reply, [&tag](const QByteArray &r) { benchmark::DoNotOptimize(r.indexOf(tag)); });
}

void floorCopy(benchmark::State &state, const QByteArray &reply)
{
    run(state, reply, [](const QByteArray &r) {
        unsigned char out[32];
        std::memcpy(out, r.constData(), std::size_t(qMin(r.size(), 32)));
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    });
}

void BM_scanIdentity(benchmark::State &s)
{
    run(s, replies().identity, [](const QByteArray &r) { benchmark::DoNotOptimize(proto::scanIdentity(r)); });
}
void REF_scanIdentity(benchmark::State &s) { floorSearch(s, replies().identity, "Transmitter v."); }

void BM_scanRegister(benchmark::State &s)
{
    static const QByteArray tag("S250=");
    run(s, replies().reg, [](const QByteArray &r) { benchmark::DoNotOptimize(proto::scanRegister(r, tag)); });
}
void REF_scanRegister(benchmark::State &s) { floorSearch(s, replies().reg, "S250="); }

void BM_scanRssi(benchmark::State &s)
{
    run(s, replies().rssi, [](const QByteArray &r) { benchmark::DoNotOptimize(proto::scanRssi(r)); });
}
void REF_scanRssi(benchmark::State &s) { floorSearch(s, replies().rssi, "+SRDRSSI: "); }

void BM_scanMeasurement(benchmark::State &s)
{
    run(s, replies().measurement, [](const QByteArray &r) { benchmark::DoNotOptimize(proto::scanMeasurement(r)); });
}
void REF_scanMeasurement(benchmark::State &s) { floorSearch(s, replies().measurement, "#"); }

// The window scans the bytes received so far after every serial read: a measurement that
// arrives one byte per read is scanned once per byte.
void BM_scanMeasurementBytewise(benchmark::State &s)
{
    run(s, replies().measurement, [](const QByteArray &r) {
        QByteArray acc;
        for (const char c : r) {
            acc += c;
            benchmark::DoNotOptimize(proto::scanMeasurement(acc));
        }
    });
}
void REF_scanMeasurementBytewise(benchmark::State &s)
{
    run(s, replies().measurement, [](const QByteArray &r) {
        QByteArray acc;
        for (const char c : r) {
            acc += c;
            benchmark::DoNotOptimize(acc.indexOf('#'));
        }
    });
}

void BM_replyAcceptsWrite(benchmark::State &s)
{
    run(s, replies().writeOk, [](const QByteArray &r) { benchmark::DoNotOptimize(proto::replyAcceptsWrite(r)); });
}
void REF_replyAcceptsWrite(benchmark::State &s) { floorSearch(s, replies().writeOk, "OK"); }

void BM_mergeSettingsReply(benchmark::State &s)
{
    QByteArray record(proto::kMaxRecordSize, '\0');
    run(s, replies().settings, [&record](const QByteArray &r) {
        benchmark::DoNotOptimize(proto::mergeSettingsReply(record, r, proto::Transmitter, 296));
    });
}
void REF_mergeSettingsReply(benchmark::State &s) { floorCopy(s, replies().settings); }

void BM_TransmitterRecordParse(benchmark::State &s)
{
    run(s, replies().record, [](const QByteArray &r) { benchmark::DoNotOptimize(proto::TransmitterRecord::parse(r)); });
}
void REF_TransmitterRecordParse(benchmark::State &s) { floorCopy(s, replies().record); }

struct Case
{
    const char *name;
    void (*scanner)(benchmark::State &);
    void (*floor)(benchmark::State &);
    const char *floorText;
};

const Case kCases[] = {
    {"scanIdentity", BM_scanIdentity, REF_scanIdentity, "indexOf tag"},
    {"scanRegister", BM_scanRegister, REF_scanRegister, "indexOf tag"},
    {"scanRssi", BM_scanRssi, REF_scanRssi, "indexOf tag"},
    {"scanMeasurement", BM_scanMeasurement, REF_scanMeasurement, "indexOf '#'"},
    {"scanMeasurement, byte per read", BM_scanMeasurementBytewise, REF_scanMeasurementBytewise,
     "append + indexOf '#'"},
    {"replyAcceptsWrite", BM_replyAcceptsWrite, REF_replyAcceptsWrite, "indexOf \"OK\""},
    {"mergeSettingsReply", BM_mergeSettingsReply, REF_mergeSettingsReply, "memcpy"},
    {"TransmitterRecord::parse", BM_TransmitterRecordParse, REF_TransmitterRecordParse, "memcpy"},
};

// Keeps the median of each benchmark's repetitions, in MB/s.
class MedianReporter : public benchmark::BenchmarkReporter
{
public:
    bool ReportContext(const Context &) override { return true; }
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median")
                continue;
            const auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end())
                mbPerS[run.run_name.function_name] = it->second.value / 1e6;
        }
    }
    std::map<std::string, double> mbPerS;
};

} // namespace

int main(int argc, char *argv[])
{
    for (const Case &c : kCases) {
        benchmark::RegisterBenchmark((std::string(c.name) + "#scanner").c_str(), c.scanner);
        benchmark::RegisterBenchmark((std::string(c.name) + "#floor").c_str(), c.floor);
    }
    std::vector<char *> args(argv, argv + argc);
    std::string reps = "--benchmark_repetitions=5";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    std::string minTime = "--benchmark_min_time=0.05";
    args.push_back(reps.data());
    args.push_back(aggregates.data());
    args.push_back(minTime.data());
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());

    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    for (const Case &c : kCases) {
        const double mb = reporter.mbPerS[std::string(c.name) + "#scanner"];
        const double floor = reporter.mbPerS[std::string(c.name) + "#floor"];
        bench::row("6 parsers", std::string(c.name) + " (median of 5)",
                   bench::fmt("%.0f MB/s", mb),
                   bench::fmt("%.0f MB/s ", floor) + c.floorText, bench::ratioText(mb, floor));
    }
    return 0;
}

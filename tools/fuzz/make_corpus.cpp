// Writes the seed corpora of the fuzz targets: make_corpus <folder> creates
// <folder>/<target>/seed-NNN for fuzz_reply_analysis, fuzz_profile,
// fuzz_judge and fuzz_devsim. The frames come from the frame builders, the
// simulation responder and the emulator's fleet.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "protocol/Frames.h"
#include "tools/devsim/Fleet.h"
#include "tools/fuzz/AnalysisRig.h"
#include "tools/fuzz/FuzzSupport.h"

namespace {

using korvo::fuzz::JoinParts;

bool WriteSeeds(const std::filesystem::path& folder, const std::vector<std::string>& seeds)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "seed-%03zu", i);
        std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
        out.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size()));
        if (!out) {
            std::fprintf(stderr, "make_corpus: cannot write %s\n", (folder / name).c_str());
            return false;
        }
    }
    return true;
}

std::vector<std::string> AnalysisSeeds()
{
    using namespace korvo::fuzz;
    const std::vector<std::string> frames = AnalysisSeedFrames();
    std::vector<std::string> seeds;
    for (std::size_t i = 0; i < frames.size(); ++i)
        seeds.push_back(std::string(1, static_cast<char>(i % kQueueFills)) + frames[i]);
    seeds.push_back(std::string(1, '\x10') + JoinParts(frames));
    seeds.push_back(std::string(1, '\x02') + JoinParts({frames[0], frames[1], frames[0]}));
    return seeds;
}

std::vector<std::string> ProfileSeeds()
{
    const std::string settings =
        "[Language]\r\nLanguage=en\r\n[NetworkInq]\r\nResponsTime=5000\r\n[CameraTableInq]\r\nResponsTime=2000\r\n"
        "WaitTime=0\r\n[CameraTableSet]\r\nResponsTime=10000\r\nWaitTime=5000\r\n[DebugUdp]\r\nDebugUdpFlg=1\r\n";
    return {
        JoinParts({settings, "NetworkInq", "ResponsTime", "3000"}),
        JoinParts({"\xEF\xBB\xBF; comment\n[language]\nlanguage = 'zh'\n# x=1\n[DebugUdp]\nDebugUdpFlg=\"1\"", "Language",
                   "Language", "en"}),
        JoinParts({"[a]\r\nk=1\r\n[A]\r\nk=2\r\nk2 = 3 = 4\r\n", "A", "K2", " spaced "}),
        JoinParts({"[DebugUdp\nDebugUdpFlg=99999999999\n", "NewSection", "Key", "v"}),
        JoinParts({"", "Language", "Language", "en"}),
    };
}

std::vector<std::string> JudgeSeeds()
{
    auto seed = [](char control, const std::string& text, const std::string& other) {
        return std::string(1, control) + JoinParts({text, other});
    };
    return {
        seed(0, "Group16-7", "Group1-1"),
        seed(1, "Group10-10", ""),
        seed(2, "abc100", "ABC100"),
        seed(0, "192.168.0.1", "255.255.255.0"),
        seed(0, "10..20.30", "255.255.255.255"),
        seed(0, "1.2.3.4.5", "224.0.0.0"),
        seed(0, "0.0.0.0", "0.0.0.1"),
        seed(0, "AA-BB-CC-DD-EE-FF", "aa-bb-cc-dd-ee-ff"),
        seed(0, "2.01", "9.87"),
        seed(0, "192.168.0.255", "255.255.255.0"),
    };
}

std::vector<std::string> DevsimSeeds()
{
    const devsim::Fleet fleet = devsim::GenerateFleet(5, 4);
    const std::string camera = fleet.devices[0].mac;
    const std::string controller = fleet.devices[5].mac;
    std::vector<korvo::CameraTableSettingRow> rows = {{0, fleet.devices[1].mac, "192.168.1.11", "CAM002"},
                                                      {1, "", "", ""},
                                                      {111, fleet.devices[2].mac, "10.0.0.9", "x"}};
    const std::vector<std::string> settings = korvo::BuildCameraTableSettings(controller, rows);
    std::vector<std::string> requests = {
        korvo::BuildNetworkInquiry(),
        korvo::BuildCameraTableInquiry(1),
        korvo::BuildCameraTableInquiry(4),
        korvo::BuildNetworkSetting(camera, "192.168.1.50", "255.255.255.0", "192.168.1.1", "NEW"),
        korvo::BuildNetworkSetting(fleet.devices[8].mac, "192.168.1.51", "255.255.0.0", "0.0.0.0", "RO"),
    };
    requests.insert(requests.end(), settings.begin(), settings.end());

    std::vector<std::string> seeds;
    for (int control = 0; control < 16; control += 5)
        seeds.push_back(std::string(1, static_cast<char>(control)) + JoinParts(requests));
    for (const std::string& r : requests)
        seeds.push_back(std::string(1, '\0') + r);
    const std::string file =
        "# fleet\ncamera mac=02-00-00-00-00-01 name=Gate ip=10.0.0.5 mask=255.255.255.0 gateway=10.0.0.1\n"
        "camera name=\"A B\" version=2.01\ncontroller model=ST-HUB80 write=off delay=200\n"
        "controller refuse=yes duplicate=yes drop=0\r\n";
    seeds.push_back(std::string(1, '\x20') + JoinParts({file, korvo::BuildNetworkInquiry(),
                                                         korvo::BuildCameraTableInquiry(2), settings.front()}));
    return seeds;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_corpus <folder>\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    const bool ok = WriteSeeds(root / "fuzz_reply_analysis", AnalysisSeeds()) &&
                    WriteSeeds(root / "fuzz_profile", ProfileSeeds()) &&
                    WriteSeeds(root / "fuzz_judge", JudgeSeeds()) && WriteSeeds(root / "fuzz_devsim", DevsimSeeds());
    return ok ? 0 : 1;
}

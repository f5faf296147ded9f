#include "harness/FuzzEndFile.h"

#include <bit>
#include <set>
#include <string>

#include <zlib.h>

#include "harness/FuzzChecks.h"
#include "world/WorldDoc.h"
#include "zones/GMOpt.h"

namespace gm::fuzz {

namespace {

class ByteReader {
public:
    ByteReader(std::string_view bytes, const char* what) : Bytes_(bytes), What_(what) {}

    uint32_t U32() {
        Need(4);
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(static_cast<uint8_t>(Bytes_[At_ + i])) << (8 * i);
        At_ += 4;
        return v;
    }
    uint16_t U16() {
        Need(2);
        const auto v = static_cast<uint16_t>(static_cast<uint8_t>(Bytes_[At_]) |
                                             (static_cast<uint8_t>(Bytes_[At_ + 1]) << 8));
        At_ += 2;
        return v;
    }
    uint8_t U8() {
        Need(1);
        return static_cast<uint8_t>(Bytes_[At_++]);
    }
    std::string_view Take(std::size_t n) {
        Need(n);
        const std::string_view s = Bytes_.substr(At_, n);
        At_ += n;
        return s;
    }
    void WideStr() {
        while (U16() != 0) {
        }
    }
    std::size_t At() const noexcept { return At_; }
    bool AtEnd() const noexcept { return At_ == Bytes_.size(); }

private:
    void Need(std::size_t n) const {
        Require(Bytes_.size() - At_ >= n, std::string(What_) + " holds what its counts promise");
    }
    std::string_view Bytes_;
    const char* What_;
    std::size_t At_ = 0;
};

// Walks the key pool blob by blob and returns the offsets at which blobs start.
std::set<uint32_t> PoolBlobs(std::string_view pool) {
    std::set<uint32_t> starts;
    std::size_t off = 0;
    while (off < pool.size()) {
        ByteReader blob(pool.substr(off), "a key blob");
        Require(blob.U32() == 0, "a key blob starts with 0");
        const uint32_t groups = blob.U32();
        const uint32_t type = blob.U32();
        const uint32_t len = blob.U32();
        Require(len >= 16 && len <= pool.size() - off, "a key blob's length lies in the pool");
        const std::string_view bytes = pool.substr(off, len);
        ByteReader table(bytes.substr(16), "a key blob's table");
        // Typed units have one run per group, untyped ones a single run after one entry.
        const uint64_t runs = type != 0 ? groups : 1;
        uint64_t expected = 16 + 8 * runs;
        for (uint64_t g = 0; g < runs; ++g) {
            Require(table.U32() == expected, "a key blob's runs follow its table in order");
            const uint32_t number = table.U32();
            if (type == 0) Require(number == 0, "an untyped blob's entry has group number 0");
            Require(expected + 8 <= len, "a key blob holds its runs");
            ByteReader run(bytes.substr(static_cast<std::size_t>(expected)), "a sample run");
            Require(run.U32() == 0, "a sample run starts with 0");
            const uint32_t n = run.U32();
            Require(n >= 1, "a sample run has a sample");
            expected += 8 + 4 * uint64_t{n};
        }
        Require(expected == len, "a key blob ends with its last run");
        starts.insert(static_cast<uint32_t>(off));
        off += len;
    }
    return starts;
}

std::string Inflate(std::string_view packed) {
    z_stream zs{};
    Require(inflateInit(&zs) == Z_OK, "zlib starts");
    std::string out;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    zs.avail_in = static_cast<uInt>(packed.size());
    int rc = Z_OK;
    char chunk[16384];
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef*>(chunk);
        zs.avail_out = sizeof chunk;
        rc = inflate(&zs, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - zs.avail_out);
        if (rc == Z_BUF_ERROR && zs.avail_in == 0) break;
    }
    const bool whole = rc == Z_STREAM_END && zs.avail_in == 0;
    inflateEnd(&zs);
    Require(whole, "the visibility file is one whole zlib stream");
    return out;
}

} // namespace

void CheckEndFile(const WorldDoc& doc, std::string_view map) {
    ByteReader r(map, "the end file");
    Require(r.Take(4) == "gmwm", "the end file starts with its tag");
    Require(r.U32() == 1, "the end file's format number is 1");
    Require(r.U32() == std::bit_cast<uint32_t>(doc.WorldRadius), "the end file holds the radius");
    const uint32_t poolLen = r.U32();
    const std::set<uint32_t> blobs = PoolBlobs(r.Take(poolLen));
    const auto isBlob = [&blobs](uint32_t off) { return blobs.count(off) == 1; };

    const uint32_t points = r.U32();
    Require(points == static_cast<uint32_t>(doc.Points.PointMasterCount()),
            "the end file holds every point without a master");
    r.Take(12 * std::size_t{points});

    Require(r.U32() == static_cast<uint32_t>(doc.Lines.LineCount()), "every line is exported");
    for (const TLineGM* line : doc.Lines.List()) {
        Require(r.U32() < points && r.U32() < points, "a line's ends are exported points");
        Require(r.U8() == line->Visible && r.U8() == line->Stop, "a line keeps its flags");
        if (line->Visible != 0)
            Require(isBlob(r.U32()) && isBlob(r.U32()), "a line's colours are blobs of the pool");
    }

    const uint32_t zones = r.U32();
    Require(zones == static_cast<uint32_t>(doc.Zones.ZoneCount()), "every zone is exported");
    for (uint32_t i = 0; i < zones; ++i) {
        r.Take(16);
        r.WideStr();
        r.Take(20);
    }
    Require(r.U32() == static_cast<uint32_t>(doc.Zones.ZoneLinkCount()), "every link is exported");
    for (int32_t i = 0; i < doc.Zones.ZoneLinkCount(); ++i) {
        Require(r.U32() < zones && r.U32() < zones, "a link joins exported zones");
        r.U32();
    }

    Require(r.U32() == static_cast<uint32_t>(doc.Triangles.TriangleCount()),
            "every triangle is exported");
    for (int32_t i = 0; i < doc.Triangles.TriangleCount(); ++i) {
        Require(r.U32() < static_cast<uint32_t>(doc.Units.UnitCount()),
                "a triangle's unit is a unit of the world");
        for (int c = 0; c < 3; ++c)
            Require(r.U32() < points && isBlob(r.U32()),
                    "a triangle's corners are exported points with blobs of the pool");
    }
    Require(r.AtEnd(), "nothing follows the triangles of the end file");
}

void CheckVisibilityFile(const WorldDoc& doc, const OptState& opt, std::string_view file) {
    // Raw data starts with the longitude count 72; a zlib stream with 0x78.
    const std::string raw =
        !file.empty() && static_cast<uint8_t>(file[0]) == 0x78 ? Inflate(file) : std::string(file);
    ByteReader r(raw, "the visibility file");
    Require(r.U32() == OptLonCount && r.U32() == OptPolarCount, "the direction grid is 72 x 37");
    Require(r.U32() == opt.OptGroups.size(), "every unit with a box is a group");
    const auto triangles = static_cast<uint32_t>(doc.Triangles.TriangleCount());
    for (const TgmOptGroup& g : opt.OptGroups) {
        Require(r.U16() == g.Triangles.size(), "a group holds its unit's triangles");
        for (std::size_t k = 0; k < g.Triangles.size(); ++k)
            Require(r.U16() < triangles, "a group's triangles are exported triangles");
        r.Take(48);
    }
    const auto points = static_cast<uint32_t>(doc.Points.PointMasterCount());
    for (const TgmOptUnit& u : opt.OptUnits) {
        Require(r.U16() == u.Points.size(), "a direction lists the points it sees");
        for (std::size_t k = 0; k < u.Points.size(); ++k)
            Require(r.U16() < points, "a direction's points are exported points");
        Require(r.U16() == u.Groups.size(), "a direction lists the groups it sees");
        uint32_t last = 0;
        for (std::size_t k = 0; k < u.Groups.size(); ++k) {
            const uint32_t m = r.U16();
            Require(m < opt.OptGroups.size() && (k == 0 || m > last),
                    "a direction's groups are groups of the file, ascending");
            last = m;
        }
    }
    Require(r.AtEnd(), "nothing follows the directions of the visibility file");
}

} // namespace gm::fuzz

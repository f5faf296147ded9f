// Joining the ports of neighbouring units.

#include <map>
#include <utility>

#include "foundation/QX_Str.h"
#include "world/GMPoint.h"
#include "world/WorldUnit.h"

namespace gm {

namespace {

double Dist2(const TVec3& a, const TVec3& b) {
    const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}

bool Contains(const std::u16string& text, const std::u16string& part) {
    return text.find(part) != std::u16string::npos;
}

} // namespace

std::vector<TgmWorldPort> UnitStore::PortsCollect() const {
    std::vector<TgmWorldPort> ports;
    std::map<std::pair<const TgmWorldUnit*, std::u16string>, std::size_t> index;
    for (const TPointGM* p : Points_.List()) {
        if (p->PortId.empty() || p->PortLink.empty() || p->Units.empty()) continue;
        TgmWorldUnit* owner = p->Units.front();
        std::size_t start = 0;
        while (start <= p->PortId.size()) {
            std::size_t comma = p->PortId.find(u',', start);
            if (comma == std::u16string::npos) comma = p->PortId.size();
            const std::u16string name = TrimQX(p->PortId.substr(start, comma - start));
            start = comma + 1;
            // "a," names one port: an empty name would match every point below.
            if (name.empty()) continue;
            const auto [it, fresh] = index.try_emplace({owner, name}, ports.size());
            if (fresh) {
                ports.push_back(TgmWorldPort{owner, name, p->Pos, 1});
            } else {
                TgmWorldPort& port = ports[it->second];
                port.Pos =
                    MakeVec3(port.Pos.x + p->Pos.x, port.Pos.y + p->Pos.y, port.Pos.z + p->Pos.z);
                ++port.Count;
            }
        }
    }
    for (TgmWorldPort& port : ports) {
        const float n = static_cast<float>(port.Count);
        port.Pos = MakeVec3(port.Pos.x / n, port.Pos.y / n, port.Pos.z / n);
    }
    return ports;
}

void UnitStore::PortAutoLink(TgmWorldUnit* u) {
    if (!u) return;
    std::vector<TgmWorldPort> ports = PortsCollect();
    if (ports.size() <= 1) return;
    std::vector<TgmWorldPort> own, others;
    for (TgmWorldPort& port : ports)
        (port.Unit == u ? own : others).push_back(std::move(port));
    if (own.empty() || others.empty()) return;

    const TVec3 c = CalcCentre(u);
    const TgmWorldPort* bestQ = nullptr;
    const TgmWorldPort* bestR = nullptr;
    double bestS = 1e20;
    for (const TgmWorldPort& q : own) {
        const TgmWorldPort* r = nullptr;
        double s = 1e20;
        for (const TgmWorldPort& o : others) {
            const double d = Dist2(q.Pos, o.Pos);
            if (d < s) {
                s = d;
                r = &o;
            }
        }
        if (!r || !(s > PortAutoLinkMinDist2 && s < PortAutoLinkMaxDist2 && s < bestS)) continue;
        // The other port must lie on the same side of the unit as the own port.
        const double dot = (q.Pos.x - c.x) * (r->Pos.x - c.x) + (q.Pos.y - c.y) * (r->Pos.y - c.y) +
                           (q.Pos.z - c.z) * (r->Pos.z - c.z);
        if (dot < 0) continue;
        bestS = s;
        bestQ = &q;
        bestR = r;
    }
    if (!bestQ) return;
    const std::vector<TPointGM*> theirs = Points_.PointsOfUnit(bestR->Unit);
    for (TPointGM* p : Points_.PointsOfUnit(u)) {
        if (!Contains(p->PortId, bestQ->Name)) continue;
        TPointGM* match = nullptr;
        double d = 1e20;
        for (TPointGM* q : theirs) {
            if (!Contains(q->PortId, bestR->Name) || q->PortLink != p->PortLink) continue;
            const double dq = Dist2(q->Pos, p->Pos);
            if (dq < d) {
                d = dq;
                match = q;
            }
        }
        if (match) Points_.PointLink(match, p);
    }
}

} // namespace gm

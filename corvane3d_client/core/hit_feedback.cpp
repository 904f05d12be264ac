#include "hit_feedback.h"

#include "bomb.h"
#include "platform.h"
#include "vehicle.h"

namespace {
const int64_t kBlinkMs = HitFeedback::kFlashMs / 5;

bool flamesTouch(Bomb& bomb, const Vehicle& v) {
    List<FlameQuad>& quads = bomb.flameQuads();
    for (FlameQuad* q = quads.first(); q; q = quads.next()) {
        if (v.isTouchedBy(q->corner, 4)) return true;
        if (quads.atEnd()) break;
    }
    return false;
}
} // namespace

void HitFeedback::reset() {
    seenCount_ = 0;
    localEnergy_ = -1;
    localHitMs_ = -1;
    explosionCount_ = 0;
}

HitFeedback::Seen* HitFeedback::find(int32_t id) {
    for (int i = 0; i < seenCount_; ++i)
        if (seen_[i].id == id) return &seen_[i];
    return nullptr;
}

void HitFeedback::burst(Vector3 position, int64_t nowMs) {
    if (explosionCount_ == kCapacity) {
        for (int i = 1; i < kCapacity; ++i)
            explosions_[i - 1] = explosions_[i];
        --explosionCount_;
    }
    explosions_[explosionCount_].position = position;
    explosions_[explosionCount_].startMs = nowMs;
    ++explosionCount_;
    playSample(kSampleExplode);
}

void HitFeedback::track(const Vehicle& v, List<Bomb>& bombs, bool energyKnown, int64_t nowMs) {
    Seen* s = find(v.id());
    if (!s) {
        if (seenCount_ == kCapacity) return;
        s = &seen_[seenCount_++];
        *s = Seen();
        s->id = v.id();
        s->energy = v.energy();
    }
    int32_t energy = v.energy();
    if (!energyKnown) {
        energy = s->energy;
        for (Bomb* b = bombs.first(); b; b = bombs.next()) {
            const int32_t key = b->owner() * 1000 + b->number();
            bool felt = false;
            for (int32_t k : s->bombsFelt)
                felt = felt || k == key;
            if (b->exploded() && b->owner() > 0 && !felt && flamesTouch(*b, v)) {
                s->bombsFelt[s->bombsFeltNext] = key;
                s->bombsFeltNext = (s->bombsFeltNext + 1) % kBombMemory;
                if (energy > 1) --energy;
            }
            if (bombs.atEnd()) break;
        }
    }
    if (energy < s->energy) s->flashStartMs = nowMs;
    s->energy = energy;
    s->position = v.position();
    s->present = true;
}

int32_t HitFeedback::energyOf(int32_t id) const {
    for (int i = 0; i < seenCount_; ++i)
        if (seen_[i].id == id) return seen_[i].energy;
    return -1;
}

void HitFeedback::observe(const Vehicle& local, List<Vehicle>& opponents, List<Bomb>& bombs,
                          bool energiesKnown, int32_t startTicks, int64_t nowMs) {
    if (startTicks < lastStartTicks_ || local.id() != localId_) reset();
    lastStartTicks_ = startTicks;
    localId_ = local.id();

    for (int i = 0; i < seenCount_; ++i)
        seen_[i].present = false;
    for (Vehicle* v = opponents.first(); v; v = opponents.next()) {
        track(*v, bombs, energiesKnown, nowMs);
        if (opponents.atEnd()) break;
    }
    int kept = 0;
    for (int i = 0; i < seenCount_; ++i) {
        if (!seen_[i].present) {
            if (seen_[i].energy <= 1) burst(seen_[i].position, nowMs);
            continue;
        }
        seen_[kept++] = seen_[i];
    }
    seenCount_ = kept;

    if (localEnergy_ >= 0 && local.energy() < localEnergy_) {
        localHitMs_ = nowMs;
        if (local.energy() <= 0) burst(local.position(), nowMs);
    }
    localEnergy_ = local.energy();
}

bool HitFeedback::flashOn(int32_t id, int64_t nowMs) const {
    int64_t start = -1;
    if (id == localId_) start = localHitMs_;
    for (int i = 0; i < seenCount_ && start < 0; ++i)
        if (seen_[i].id == id) start = seen_[i].flashStartMs;
    if (start < 0 || nowMs < start || nowMs - start >= kFlashMs) return false;
    return (nowMs - start) / kBlinkMs % 2 == 0;
}

double HitFeedback::edgeLevel(int64_t nowMs) const {
    if (localHitMs_ < 0 || nowMs < localHitMs_ || nowMs - localHitMs_ >= kFlashMs) return 0.0;
    return 1.0 - static_cast<double>(nowMs - localHitMs_) / kFlashMs;
}

int HitFeedback::explosions(int64_t nowMs, const Explosion** list) const {
    int first = 0;
    while (first < explosionCount_ && nowMs - explosions_[first].startMs >= kExplosionMs)
        ++first;
    *list = explosions_ + first;
    return explosionCount_ - first;
}

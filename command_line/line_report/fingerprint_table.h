// A table keyed by 64-bit fingerprints, in one flat array: a log of ten million runs costs the
// report a slot of a few words per run and unit, not a node with its key's text.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace line_report {

// A fingerprint of the bytes (64-bit FNV-1a, then mixed so that the low bits used for the slot
// depend on every byte). Two different keys of a log of ten million share one with a chance of
// about three in a million.
inline uint64_t fingerprintOf(const char* bytes, size_t size) {
    uint64_t hash = 14695981039346656037ULL;
    for (size_t i = 0; i < size; ++i) {
        hash = (hash ^ uint8_t(bytes[i])) * 1099511628211ULL;
    }
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    hash ^= hash >> 33;
    return hash;
}

// Open addressing with linear probing, at most three quarters full; fingerprint 0 marks a free
// slot, so a key whose fingerprint is 0 is stored as 1. Fingerprints and values lie in arrays of
// their own, so that a set (an empty value) costs a word and a byte a slot.
template <typename Value>
class FingerprintTable {
public:
    // The key's value, made by `made` when the key is new; `isNew` tells which.
    template <typename Made>
    Value& find(uint64_t fingerprint, bool& isNew, Made made) {
        fingerprint = fingerprint ? fingerprint : 1;
        if ((count_ + 1) * 4 > keys_.size() * 3) {
            grow();
        }
        const size_t index = indexOf(fingerprint);
        isNew = keys_[index] == 0;
        if (isNew) {
            keys_[index] = fingerprint;
            values_[index] = made();
            ++count_;
        }
        return values_[index];
    }
    size_t size() const { return count_; }
    template <typename Visit>
    void forEach(Visit visit) const {
        for (size_t i = 0; i < keys_.size(); ++i) {
            if (keys_[i]) {
                visit(keys_[i], values_[i]);
            }
        }
    }

private:
    size_t indexOf(uint64_t fingerprint) const {
        const size_t mask = keys_.size() - 1;
        size_t index = size_t(fingerprint) & mask;
        while (keys_[index] && keys_[index] != fingerprint) {
            index = (index + 1) & mask;
        }
        return index;
    }
    void grow() {
        const size_t slotCount = keys_.empty() ? 16 : keys_.size() * 2;
        std::vector<uint64_t> oldKeys(slotCount, 0);
        std::vector<Value> oldValues(slotCount);
        std::swap(oldKeys, keys_);
        std::swap(oldValues, values_);
        for (size_t i = 0; i < oldKeys.size(); ++i) {
            if (oldKeys[i]) {
                const size_t index = indexOf(oldKeys[i]);
                keys_[index] = oldKeys[i];
                values_[index] = std::move(oldValues[i]);
            }
        }
    }
    std::vector<uint64_t> keys_;
    std::vector<Value> values_;
    size_t count_ = 0;
};

}  // namespace line_report

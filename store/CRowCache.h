#pragma once

#include <algorithm>
#include <memory>
#include <vector>

// The rows of a table's cache in their order, each row an allocation of its own that the cache
// owns. The order is kept in a vector of plain pointers, so that a row added or removed in the
// middle of a large table moves the pointers behind it in one block copy instead of moving
// records (or smart pointers, one at a time).
template <typename TRecord>
class CRowCache {
  public:
    using Slots = std::vector<TRecord*>;
    using iterator = typename Slots::iterator;
    using const_iterator = typename Slots::const_iterator;

    CRowCache() = default;
    ~CRowCache() { clear(); }
    CRowCache(const CRowCache&) = delete;
    CRowCache& operator=(const CRowCache&) = delete;
    CRowCache(CRowCache&& other) noexcept : _rows(std::move(other._rows)) { other._rows.clear(); }
    CRowCache& operator=(CRowCache&& other) noexcept {
        if (this != &other) {
            clear();
            _rows = std::move(other._rows);
            other._rows.clear();
        }
        return *this;
    }

    void reserve(size_t n) { _rows.reserve(n); }
    void push_back(std::unique_ptr<TRecord> row) { insert(_rows.end(), std::move(row)); }
    iterator insert(const_iterator at, std::unique_ptr<TRecord> row) {
        // Room first, so that a failed allocation leaves the row with its owner.
        const auto index = at - _rows.cbegin();
        if (_rows.size() == _rows.capacity()) {
            _rows.reserve(std::max<size_t>(16, 2 * _rows.size()));
        }
        auto it = _rows.insert(_rows.cbegin() + index, row.get());
        row.release();
        return it;
    }
    iterator erase(const_iterator at) {
        delete *at;
        return _rows.erase(at);
    }
    void clear() {
        for (TRecord* row : _rows) {
            delete row;
        }
        _rows.clear();
    }

    size_t size() const { return _rows.size(); }
    bool empty() const { return _rows.empty(); }
    iterator begin() { return _rows.begin(); }
    iterator end() { return _rows.end(); }
    const_iterator begin() const { return _rows.begin(); }
    const_iterator end() const { return _rows.end(); }

  private:
    Slots _rows;
};

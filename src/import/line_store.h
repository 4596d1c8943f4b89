#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lorvex {

// A levelling line as a value: its name and its record texts.
struct LevellingLine {
    std::string name;  // may be empty; a dual-run half ends in "(R)" or "(L)"
    std::vector<std::string> records;

    friend bool operator==(const LevellingLine&, const LevellingLine&) = default;
};

// The lines of the last imported file: at most 100, each a name and an
// ordered list of record texts. Record texts live in one shared text pool,
// so a million records cost no million allocations; lines hold spans of it.
// Slots at or beyond LineCount() read as empty lines (no name, no records);
// changing them throws std::out_of_range.
class LineStore {
  public:
    static constexpr std::size_t kMaxLines = 100;

    void Clear();
    std::size_t LineCount() const { return m_lines.size(); }
    bool Full() const { return m_lines.size() >= kMaxLines; }

    // Appends a line; returns its index. The store must not be Full().
    std::size_t AppendLine(std::string name);
    const std::string& Name(std::size_t line) const;
    void SetName(std::size_t line, std::string name);

    std::size_t RecordCount(std::size_t line) const;
    // Valid until the store is next changed.
    std::vector<std::string_view> RecordViews(std::size_t line) const;
    std::vector<std::string> Records(std::size_t line) const;

    // Appends a record text (a copy); readers of other instruments' files
    // append the texts FormatRecord makes.
    void AppendRecord(std::size_t line, std::string_view text);
    // Removes the records at the given indexes (ascending, distinct) in one
    // pass. Throws std::out_of_range, removing nothing, when an index is not
    // a record of the line or the indexes are out of order.
    void RemoveRecords(std::size_t line, std::span<const std::size_t> ascendingIndexes);

    // For the reader: the pool takes the decoded file text (moved in when the
    // pool is empty), and records are appended to Spans() as spans of it
    // without copying. Returns the pool offset at which the text begins.
    std::size_t AdoptText(std::string text);
    std::string_view PoolText() const { return m_pool; }

    // Low-level access for passes that move records between lines.
    struct Span {
        std::uint64_t offset;
        std::uint64_t length;
    };

    // Where the lines keep their spans. A million records take 16 MB of
    // spans: carved from a few large blocks that the system may back with
    // large pages, they cost a few page faults instead of thousands (on a
    // virtual machine each fault leaves to the hypervisor). Small lists come
    // from the heap. A block freed in the middle of a large one is reused
    // only when the arena goes, with the store's last list.
    class SpanArena {
      public:
        SpanArena() = default;
        SpanArena(const SpanArena&) = delete;
        SpanArena& operator=(const SpanArena&) = delete;
        ~SpanArena();
        void* Allocate(std::size_t bytes);
        void Deallocate(void* block, std::size_t bytes);

      private:
        struct Chunk {
            char* data;
            std::size_t size;
            std::size_t used;
        };
        std::vector<Chunk> m_chunks;
    };

    // Allocates from an arena shared by the lists of one store; without one
    // (a copied store's lists) from the heap.
    template <typename T>
    struct SpanAllocator {
        using value_type = T;
        // A list copied over another keeps where the other allocated; a
        // moved or swapped one takes its allocator with it.
        using propagate_on_container_copy_assignment = std::false_type;
        using propagate_on_container_move_assignment = std::true_type;
        using propagate_on_container_swap = std::true_type;

        SpanAllocator() = default;
        explicit SpanAllocator(std::shared_ptr<SpanArena> a) : arena(std::move(a)) {}
        template <typename U>
        SpanAllocator(const SpanAllocator<U>& other) : arena(other.arena) {}

        T* allocate(std::size_t n) {
            const std::size_t bytes = n * sizeof(T);
            return static_cast<T*>(arena ? arena->Allocate(bytes) : ::operator new(bytes));
        }
        void deallocate(T* block, std::size_t n) {
            if (arena)
                arena->Deallocate(block, n * sizeof(T));
            else
                ::operator delete(block);
        }
        // A copy of a store does not share its arena: arenas are not shared
        // between threads.
        SpanAllocator select_on_container_copy_construction() const { return {}; }
        template <typename U>
        bool operator==(const SpanAllocator<U>& other) const {
            return arena == other.arena;
        }

        std::shared_ptr<SpanArena> arena;
    };
    using SpanList = std::vector<Span, SpanAllocator<Span>>;

    // An empty list that allocates where this store's lists do.
    SpanList NewSpanList() const { return SpanList(SpanAllocator<Span>(m_arena.arena)); }
    SpanList& Spans(std::size_t line);
    const SpanList& Spans(std::size_t line) const;
    std::string_view Text(Span span) const {
        return std::string_view(m_pool).substr(span.offset, span.length);
    }

  private:
    struct Slot {
        std::string name;
        SpanList records;
    };
    // A copy of the store gets an arena of its own, so that two stores
    // never share one.
    struct OwnArena {
        std::shared_ptr<SpanArena> arena = std::make_shared<SpanArena>();
        OwnArena() = default;
        OwnArena(const OwnArena&) : OwnArena() {}
        OwnArena& operator=(const OwnArena&) { return *this; }
        OwnArena(OwnArena&&) = default;
        OwnArena& operator=(OwnArena&&) = default;
    };
    OwnArena m_arena;
    std::string m_pool;
    std::vector<Slot> m_lines;
};

}  // namespace lorvex

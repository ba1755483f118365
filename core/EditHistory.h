#pragma once

// A bounded undo/redo history of snapshots, standard C++ only. Each entry
// holds the part of the state that one edit replaced. Undoing exchanges the
// entry with the live state, so the same entry then holds what the edit had
// made, which is what redo puts back; one exchange function serves both.

#include <cstddef>
#include <deque>
#include <string>
#include <utility>

struct EditHistoryLimits {
    std::size_t maxEntries = 100;
    // Snapshots of whole pictures are large; the oldest go first when the
    // history holds more than this.
    std::size_t maxBytes = std::size_t{256} << 20;
};

template <typename Snapshot> class EditHistory {
public:
    explicit EditHistory(EditHistoryLimits limits = {})
        : m_limits(limits)
    {
    }

    // Records the state an edit is about to replace, under the edit's name,
    // and forgets what could be redone. bytes is the snapshot's size as
    // counted against the byte limit. The newest entry is always kept.
    void record(std::string label, Snapshot before, std::size_t bytes = 0)
    {
        for (const Entry& entry : m_redo)
            m_bytes -= entry.bytes;
        m_redo.clear();
        m_undo.push_back(Entry{std::move(label), std::move(before), bytes});
        m_bytes += bytes;
        while (m_undo.size() > 1 && (m_undo.size() > m_limits.maxEntries || m_bytes > m_limits.maxBytes)) {
            m_bytes -= m_undo.front().bytes;
            m_undo.pop_front();
        }
    }

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    std::size_t undoCount() const { return m_undo.size(); }
    std::size_t redoCount() const { return m_redo.size(); }
    // The name of the edit that undo or redo would act on; empty when none.
    std::string undoLabel() const { return m_undo.empty() ? std::string() : m_undo.back().label; }
    std::string redoLabel() const { return m_redo.empty() ? std::string() : m_redo.back().label; }

    // Calls exchange(Snapshot&) with the newest entry, which must swap it
    // with the live state, and moves the entry to the redo side. False, with
    // no call, when there is nothing to undo.
    template <typename Exchange> bool undo(Exchange&& exchange) { return move(m_undo, m_redo, exchange); }

    // The same from the redo side back to the undo side.
    template <typename Exchange> bool redo(Exchange&& exchange) { return move(m_redo, m_undo, exchange); }

    void clear()
    {
        m_undo.clear();
        m_redo.clear();
        m_bytes = 0;
    }

private:
    struct Entry {
        std::string label;
        Snapshot snapshot;
        std::size_t bytes = 0;
    };

    template <typename Exchange> static bool move(std::deque<Entry>& from, std::deque<Entry>& to, Exchange& exchange)
    {
        if (from.empty())
            return false;
        Entry entry = std::move(from.back());
        from.pop_back();
        exchange(entry.snapshot);
        to.push_back(std::move(entry));
        return true;
    }

    EditHistoryLimits m_limits;
    std::deque<Entry> m_undo;
    std::deque<Entry> m_redo;
    std::size_t m_bytes = 0;
};

// The URL filter rule model: while one interface binding line is renumbered,
// a CFilterList records which source rule number becomes which new number.
#ifndef CNV_CONVERT_FILTER_LIST_H_
#define CNV_CONVERT_FILTER_LIST_H_

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One number mapping; both texts are fixed at construction.
class CFilterItem {
 public:
  CFilterItem(std::u16string_view oldNumber, std::u16string_view newNumber)
      : m_oldNumber(oldNumber), m_newNumber(newNumber) {}
  virtual ~CFilterItem() = default;
  CFilterItem(const CFilterItem&) = delete;
  CFilterItem& operator=(const CFilterItem&) = delete;

  const std::u16string m_oldNumber;  // the source number, its digits as written
  const std::u16string m_newNumber;  // the number that replaces it
};

// The mappings of one binding line, in insertion order; owns its items and
// destroys them with itself. Items are never removed one by one.
class CFilterList {
 public:
  using Items = std::vector<std::unique_ptr<CFilterItem>>;

  CFilterList() = default;
  virtual ~CFilterList() = default;
  CFilterList(const CFilterList&) = delete;
  CFilterList& operator=(const CFilterList&) = delete;

  void Append(std::unique_ptr<CFilterItem> item) {
    m_first.emplace(item->m_oldNumber, item.get());  // an earlier item keeps its place
    m_items.push_back(std::move(item));
  }
  bool empty() const { return m_items.empty(); }
  std::size_t size() const { return m_items.size(); }
  // The first item whose old number equals `oldNumber`, or null.
  const CFilterItem* First(std::u16string_view oldNumber) const {
    const auto it = m_first.find(oldNumber);
    return it == m_first.end() ? nullptr : it->second;
  }

  // Traversal from head to tail, in insertion order.
  class const_iterator {
   public:
    explicit const_iterator(Items::const_iterator it) : it_(it) {}
    const CFilterItem& operator*() const { return **it_; }
    const CFilterItem* operator->() const { return it_->get(); }
    const_iterator& operator++() {
      ++it_;
      return *this;
    }
    bool operator==(const const_iterator& other) const { return it_ == other.it_; }
    bool operator!=(const const_iterator& other) const { return it_ != other.it_; }

   private:
    Items::const_iterator it_;
  };
  const_iterator begin() const { return const_iterator(m_items.begin()); }
  const_iterator end() const { return const_iterator(m_items.end()); }

 private:
  Items m_items;
  // The first item of each old number, so that a lookup does not walk the
  // list: a binding line may name many thousands of numbers. The keys view
  // the items' own texts, which stay put as long as the list owns them.
  std::map<std::u16string_view, const CFilterItem*> m_first;
};

// Appends a new item at the tail; does not look for duplicates.
void AddFilterItem(CFilterList& list, std::u16string_view oldNumber, std::u16string_view newNumber);

// Looks up the first item whose old number equals `oldNumber` exactly (same
// UTF-16 units, no numeric comparison). On a hit sets `newNumber` and returns
// 1; otherwise returns 0 and leaves `newNumber` unchanged.
int FindFilterItem(const CFilterList& list, std::u16string_view oldNumber,
                   std::u16string& newNumber);

#endif  // CNV_CONVERT_FILTER_LIST_H_

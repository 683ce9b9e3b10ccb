// The notebook's one open database, its two writes and its status line.
#pragma once

#include <memory>

#include "storage/store_record.hpp"

namespace orvi {

inline constexpr std::size_t MAX_NOTEBOOK_KEY_BYTES = 120;

class notebook_store;
std::shared_ptr<notebook_store> open_notebook_store(const text& directory);

class notebook_store {
  // Only open_notebook_store makes one: it lives behind a shared reference.
  struct passkey {
    explicit passkey() = default;
  };
  friend std::shared_ptr<notebook_store> open_notebook_store(const text& directory);

 public:
  notebook_store(passkey, const text& directory_text);
  notebook_store(const notebook_store&) = delete;
  notebook_store& operator=(const notebook_store&) = delete;
  virtual ~notebook_store() = default;

  // Puts and commits at once; on failure the database is read back from disk,
  // and the result and status tell whether the disk holds the value.
  virtual bool save(text key, text value);
  // Marks the key deleted, commits, and reads the database back from disk;
  // the result and status tell whether the disk still holds the key.
  virtual bool delete_key(text key);

  text directory;
  store_record database;
  text status = "Ready";
};

}  // namespace orvi

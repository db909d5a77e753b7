#include "serial/AwRing.h"

#include <algorithm>
#include <cstring>

void TApdRing::Allocate(unsigned capacity) {
  // One byte more than asked keeps a ring of capacity 0 a valid allocation.
  Data = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity) + 1);
  Size = capacity;
  Clear();
}

void TApdRing::Release() {
  Data.reset();
  Size = 0;
  Clear();
}

void TApdRing::Put(const uint8_t *bytes, unsigned count) {
  if (count == 0)
    return;
  const unsigned first = std::min(count, Size - Head);
  std::memcpy(Data.get() + Head, bytes, first);
  std::memcpy(Data.get(), bytes + first, count - first);
  Produced(count);
}

uint8_t *TApdRing::Room(unsigned &length) {
  length = IsFull ? 0 : Head >= Tail ? Size - Head : Tail - Head;
  return Data.get() + Head;
}

void TApdRing::Produced(unsigned count) {
  if (count == 0)
    return;
  Head += count;
  if (Head >= Size)
    Head -= Size;
  if (Head == Tail)
    IsFull = true;
}

void TApdRing::Skip(unsigned count) {
  if (count == 0)
    return;
  Tail += count;
  if (Tail >= Size)
    Tail -= Size;
  IsFull = false;
}

const uint8_t *TApdRing::Gather(unsigned &length) {
  length = Used();
  if (length == 0)
    return Data.get();
  if (Tail < Head)
    return Data.get() + Tail;
  if (Head == 0) {
    // The unread bytes end exactly at the end of the buffer.
    length = Size - Tail;
    return Data.get() + Tail;
  }
  std::rotate(Data.get(), Data.get() + Tail, Data.get() + Size);
  Tail = 0;
  Head = length % Size;
  return Data.get();
}

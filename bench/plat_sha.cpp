// Our SHA-1 and SHA-256 against OpenSSL's on a short and a long input.
#include "plat/Sha1Context.h"
#include "plat/Sha2Context.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <vector>

static std::vector<unsigned char> input(size_t n) {
  std::vector<unsigned char> v(n);
  for (size_t i = 0; i < n; i++)
    v[i] = static_cast<unsigned char>(i * 131 + 7);
  return v;
}

static void BM_OurSha1(benchmark::State& state) {
  auto data = input(state.range(0));
  unsigned char digest[20];
  for (auto _ : state) {
    crypto::sha1(digest, data.data(), data.size());
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_OurSha1)->Arg(64)->Arg(1 << 20);

static void BM_OpenSslSha1(benchmark::State& state) {
  auto data = input(state.range(0));
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned len;
  for (auto _ : state) {
    EVP_Digest(data.data(), data.size(), digest, &len, EVP_sha1(), nullptr);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_OpenSslSha1)->Arg(64)->Arg(1 << 20);

static void BM_OurSha256(benchmark::State& state) {
  auto data = input(state.range(0));
  unsigned char digest[32];
  for (auto _ : state) {
    crypto::sha256(digest, data.data(), data.size());
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_OurSha256)->Arg(64)->Arg(1 << 20);

static void BM_OpenSslSha256(benchmark::State& state) {
  auto data = input(state.range(0));
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned len;
  for (auto _ : state) {
    EVP_Digest(data.data(), data.size(), digest, &len, EVP_sha256(), nullptr);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_OpenSslSha256)->Arg(64)->Arg(1 << 20);

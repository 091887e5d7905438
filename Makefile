# Front door: `make` builds, `make run` starts the presentation, `make test` runs every test.
# Each target installs missing Debian packages first (scripts/setup-deps.sh, idempotent).
BUILD_DIR ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: build run test sanitize fuzz soak video golden bench deps clean

build: deps
	@test -f $(BUILD_DIR)/build.ninja || cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

deps:
	@scripts/setup-deps.sh

run: build
	$(BUILD_DIR)/brannik

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Address + undefined-behaviour sanitizers, then the thread sanitizer: every test, then a 20-second
# capture of the presentation, in build dirs of their own. Any sanitizer report fails the run.
# The leak checker skips libdbus's connection data, the thread sanitizer Mesa's driver thread
# (tests/sanitizers/). Mesa's software GL driver, which SDL's X11 video loads and unloads again, keeps
# two small blocks in its own globals; once it is unloaded they look leaked (and the thread sanitizer
# stops when a library it was told to skip goes), so both runs preload it to keep it mapped. The
# thread sanitizer slows captures about forty times: its whole-presentation test takes half an hour.
SANITIZE_CAPTURE_SECONDS ?= 20
SANITIZE_PRELOAD ?= $(wildcard /usr/lib/x86_64-linux-gnu/dri/swrast_dri.so)
sanitize: deps
	for s in "asan:-DBRANNIK_ASAN=ON -DBRANNIK_UBSAN=ON" "tsan:-DBRANNIK_TSAN=ON"; do \
	  name=$${s%%:*}; dir=$(BUILD_DIR)-$$name; env=""; \
	  if [ $$name = asan ]; then env="LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp \
	    ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=$(SANITIZE_PRELOAD)"; \
	  else env="TSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/tsan.supp LD_PRELOAD=$(SANITIZE_PRELOAD)"; fi; \
	  cmake -S . -B $$dir -G Ninja $${s#*:} >/dev/null && cmake --build $$dir -j $(JOBS) && \
	  (cd $$dir && env $$env ctest --output-on-failure -j $(JOBS)) && \
	  rm -rf $$dir/capture && \
	  env $$env $$dir/brannik --capture $$dir/capture --fps 30 --duration $(SANITIZE_CAPTURE_SECONDS) || exit 1; \
	done

# libFuzzer over every reader of bytes (fuzz/targets.h), FUZZ_SECONDS each (or FUZZ_RUNS executions),
# with the address and undefined-behaviour sanitizers; needs clang, which it installs.
FUZZ_SECONDS ?= 120
FUZZ_RUNS ?= -1
fuzz: deps
	BRANNIK_WITH_FUZZ=1 scripts/setup-deps.sh
	@test -f $(BUILD_DIR)-fuzz/build.ninja || CXX=clang++ cmake -S fuzz -B $(BUILD_DIR)-fuzz -G Ninja
	cmake --build $(BUILD_DIR)-fuzz -j $(JOBS)
	scripts/fuzz.sh $(BUILD_DIR)-fuzz $(FUZZ_SECONDS) $(FUZZ_RUNS)

# The whole presentation live under Xvfb twice: no memory growth, no frame over 3x the median.
soak: build
	scripts/soak.sh $(BUILD_DIR) 2

# SCALE=2 makes a 1280 x 960 video (3: 1920 x 1440, 4: 2560 x 1920).
SCALE ?= 1
video: build
	@BRANNIK_WITH_FFMPEG=1 scripts/setup-deps.sh || echo "video: could not install ffmpeg" >&2
	$(BUILD_DIR)/brannik --capture brannik.mp4 --scale $(SCALE)

# Rewrites tests/end_to_end/golden_frames.txt from a fresh capture; the commit that changes it says why.
golden: build
	BRANNIK_WRITE_GOLDEN=1 $(BUILD_DIR)/test_end_to_end --gtest_filter='WholePresentation.*'

bench: deps
	cmake -S . -B $(BUILD_DIR)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRANNIK_BENCH=ON -DBRANNIK_TESTS=OFF
	cmake --build $(BUILD_DIR)-bench -j $(JOBS)
	for b in $(BUILD_DIR)-bench/bench_*; do $$b; done

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-bench $(BUILD_DIR)-asan $(BUILD_DIR)-tsan $(BUILD_DIR)-fuzz

# make run   install what is missing, build, start Pelorins
# make test  install what is missing, build, run every test headless
# make test-asan  the same tests built in build-asan under AddressSanitizer (leaks included) and
#                 UndefinedBehaviorSanitizer; any finding fails its test
# make artwork  paint the built-in board pictures into resources/backgrounds
# make welcome-frames  play the welcome on a manual clock and write its frames to build/welcome-frames
# make bench build and run the benchmarks (build/bench/reference-store <folder> writes their dataset
#            as the program's store, for XDG_DATA_HOME=<folder> make run)
# make install  build, then install the program, its desktop entry (which opens pelorins:// links)
#               and its icon under PREFIX (/usr/local), or under DESTDIR for packaging
BUILD ?= build
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local

.PHONY: all deps configure build run test test-asan artwork welcome-frames bench fuzz install clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/Pelorins/pelorins

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

# Leaks inside third-party libraries are suppressed by library name in scripts/sanitizer-leaks.supp,
# and faults inside Qt's own headers by check and function in scripts/sanitizer-undefined.supp.
# The options also hold while building: listing a test executable's cases runs it.
ASAN_BUILD ?= build-asan
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:strict_init_order=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=$(CURDIR)/scripts/sanitizer-undefined.supp \
	LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/sanitizer-leaks.supp:print_suppressions=0

test-asan: deps
	[ -f $(ASAN_BUILD)/build.ninja ] || cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELORINS_SANITIZE=ON
	$(SANITIZER_ENV) cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

artwork: configure
	cmake --build $(BUILD) --target background-artwork
	QT_QPA_PLATFORM=offscreen $(BUILD)/Pelorins/background-artwork resources/backgrounds

welcome-frames: build
	cmake --build $(BUILD) --target welcome-frames

bench: build
	@for b in $(BUILD)/bench/*; do \
		[ "$$(basename $$b)" = reference-store ] && continue; \
		if [ -f "$$b" ] && [ -x "$$b" ]; then echo "== $$(basename $$b)"; QT_QPA_PLATFORM=offscreen "$$b" || exit 1; fi; \
	done

# Fuzzes the JSON reader, then its archive entry, ten minutes each with clang's libFuzzer, from a
# copy of the seed corpus.
fuzz:
	@scripts/install-deps clang
	scripts/build-fuzz build-fuzz
	rm -rf build-fuzz/corpus && cp -r fuzz/corpus build-fuzz/corpus
	build-fuzz/JSONReaderFuzz -max_total_time=600 -max_len=16384 build-fuzz/corpus
	build-fuzz/ArchiveDataFuzz -max_total_time=600 -max_len=16384 build-fuzz/corpus

install: build
	install -Dm755 $(BUILD)/Pelorins/pelorins $(DESTDIR)$(PREFIX)/bin/pelorins
	install -Dm644 resources/pelorins.desktop $(DESTDIR)$(PREFIX)/share/applications/pelorins.desktop
	install -Dm644 resources/pelorins.svg $(DESTDIR)$(PREFIX)/share/icons/hicolor/scalable/apps/pelorins.svg
	@if [ -z "$(DESTDIR)" ] && command -v update-desktop-database >/dev/null; then \
		update-desktop-database $(PREFIX)/share/applications; fi

clean:
	rm -rf $(BUILD)

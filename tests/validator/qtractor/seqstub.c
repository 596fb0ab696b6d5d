// Preloaded into Qtractor where the kernel has no ALSA sequencer (no /dev/snd/seq): Qtractor
// will not open a session without its MIDI engine, and the audio checks need no MIDI. Every call
// on a sequencer handle is answered here as by a sequencer with no other clients; the info
// structs' own accessors stay alsa-lib's.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stddef.h>
#include <string.h>
#include <unistd.h>

typedef struct StubSeq {
    int client;
    int nextPort;
    int pipe[2]; // never written: a poll descriptor that stays quiet
} StubSeq;

static int nextClient = 128;

static size_t realSizeof(const char* name) {
    size_t (*f)(void) = (size_t (*)(void))dlsym(RTLD_NEXT, name);
    return f ? f() : 0;
}

int snd_seq_open(void** seq, const char* name, int streams, int mode) {
    (void)name, (void)streams, (void)mode;
    static StubSeq seqs[4];
    static int used;
    if (used == 4) {
        return -ENOMEM;
    }
    StubSeq* s = &seqs[used++];
    s->client = nextClient++;
    s->nextPort = 0;
    if (pipe(s->pipe) != 0) {
        return -errno;
    }
    *seq = s;
    return 0;
}

int snd_seq_close(void* seq) {
    (void)seq;
    return 0;
}

int snd_seq_client_id(void* seq) {
    return ((StubSeq*)seq)->client;
}

int snd_seq_set_client_name(void* seq, const char* name) {
    (void)seq, (void)name;
    return 0;
}

int snd_seq_alloc_queue(void* seq) {
    (void)seq;
    static int queue;
    return queue++;
}

int snd_seq_create_simple_port(void* seq, const char* name, unsigned caps, unsigned type) {
    (void)name, (void)caps, (void)type;
    return ((StubSeq*)seq)->nextPort++;
}

int snd_seq_poll_descriptors_count(void* seq, short events) {
    (void)seq, (void)events;
    return 1;
}

int snd_seq_poll_descriptors(void* seq, void* pfds, unsigned space, short events) {
    struct {
        int fd;
        short events, revents;
    }* p = pfds;
    if (space < 1) {
        return 0;
    }
    p->fd = ((StubSeq*)seq)->pipe[0];
    p->events = events;
    p->revents = 0;
    return 1;
}

int snd_seq_event_input(void* seq, void** ev) {
    (void)seq;
    *ev = NULL;
    return -EAGAIN;
}

int snd_seq_get_queue_tempo(void* seq, int q, void* tempo) {
    (void)seq, (void)q;
    memset(tempo, 0, realSizeof("snd_seq_queue_tempo_sizeof"));
    return 0;
}

int snd_seq_get_port_info(void* seq, int port, void* info) {
    (void)seq, (void)port;
    memset(info, 0, realSizeof("snd_seq_port_info_sizeof"));
    return 0;
}

// Calls that succeed and do nothing. Their other arguments go unread; the caller owns them.
#define STUB_OK(name)                                                                             \
    int name(void* seq) {                                                                         \
        (void)seq;                                                                                \
        return 0;                                                                                 \
    }
STUB_OK(snd_seq_drain_output)
STUB_OK(snd_seq_drop_input)
STUB_OK(snd_seq_drop_output)
STUB_OK(snd_seq_event_input_pending)
STUB_OK(snd_seq_event_output)
STUB_OK(snd_seq_event_output_direct)
STUB_OK(snd_seq_control_queue)
STUB_OK(snd_seq_delete_simple_port)
STUB_OK(snd_seq_free_queue)
STUB_OK(snd_seq_remove_events)
STUB_OK(snd_seq_set_port_info)
STUB_OK(snd_seq_set_queue_tempo)
STUB_OK(snd_seq_set_queue_timer)
STUB_OK(snd_seq_subscribe_port)
STUB_OK(snd_seq_unsubscribe_port)

// Queries with nothing to find: no clients, ports, subscribers or queue status.
#define STUB_NONE(name)                                                                           \
    int name(void* seq) {                                                                         \
        (void)seq;                                                                                \
        return -ENOENT;                                                                           \
    }
STUB_NONE(snd_seq_query_next_client)
STUB_NONE(snd_seq_query_next_port)
STUB_NONE(snd_seq_query_port_subscribers)
STUB_NONE(snd_seq_get_any_client_info)
STUB_NONE(snd_seq_get_any_port_info)
STUB_NONE(snd_seq_get_queue_status)

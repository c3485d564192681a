/*
 * The receiver page's engine: the window's text and file commands, compiled
 * to WebAssembly for hushnote.html, so the page runs the program's own cipher
 * and speaks its own words.
 *
 * Buffers belong to the caller (the page's script takes them from malloc and
 * gives them back with free). Text crosses as UTF-8, never terminated by a
 * zero; line breaks cross as LF, the page's own. Inputs are never written to.
 *
 * One return convention for all: a value >= 0 is the number of bytes written
 * to out; a negative value is -(an hn_outcome), and then out holds nothing
 * meaningful. hn_words() writes the sentence the window shows for an outcome.
 * out_cap below the minimum given for a function gives -HN_FAILED.
 *
 * Everything runs on one thread: the engine holds one keystream, and one file
 * operation (hn_file_begin .. hn_file_end) carries it from piece to piece, so
 * no text command may run between them.
 */
#ifndef HUSHNOTE_PAGE_H
#define HUSHNOTE_PAGE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum hn_outcome {
    HN_OK = 0,
    HN_NO_MESSAGE = 1,          /* nothing to secure */
    HN_PASSWORD_BLANK = 2,      /* no password typed */
    HN_MESSAGE_LIMIT = 3,       /* a message over the limit */
    HN_FAILED = 4,              /* the failure's own description */
    HN_WRONG_PASSWORD = 5,      /* the wrong-password hint of the status line */
    HN_COPIED = 6,              /* Copy Text done */
    HN_NOT_SECURED = 7,         /* a file that is not a secured file */
    HN_DAMAGED = 8,             /* a secured file that holds less than its header gives */
    HN_NO_MESSAGE_DESECURE = 9, /* nothing to de-secure */
    HN_SECURING_TEXT = 10,      /* the status while a command runs */
    HN_DESECURING_TEXT = 11,
    HN_SECURING_FILE = 12,
    HN_DESECURING_FILE = 13,
    HN_COPY_BY_HAND = 14,     /* the browser refused the clipboard */
    HN_FILE_SAVED = 15,       /* the last file's download is ready */
    HN_CHANGED_TEXT = 16,     /* secured text a chat shortened or lengthened on the way */
    HN_NOT_SECURED_TEXT = 17, /* a paste that holds no secured text */
    HN_SECURE_AGAIN = 18,     /* Secure asks before it secures secured text again */
};

/*
 * The window's words for outcome, in UTF-8: for HN_FAILED, HN_NOT_SECURED,
 * HN_DAMAGED and HN_CHANGED_TEXT those of the last command that ended so;
 * HN_FILE_SAVED names the last file's download. Never cut short: a file's
 * escaped name may make them long. out: at least hn_words_length(outcome)
 * bytes.
 */
int32_t hn_words(int32_t outcome, char* out, int32_t out_cap);

/* The length in bytes of what hn_words(outcome, ...) writes now. */
int32_t hn_words_length(int32_t outcome);

/*
 * "Bytes Left: 16,777,215": the progress before each piece of a file.
 * out: at least 32 bytes.
 */
int32_t hn_progress_words(double remaining, char* out, int32_t out_cap);

/*
 * Secure: message and password as the boxes hold them, checked as the window
 * checks them (empty message, blank password, 20,000 characters counted with
 * line breaks as CR LF, characters outside the code page). Writes the secured
 * text, "?".."~" only. out: at least 26,676 bytes.
 */
int32_t hn_secure_text(const char* message, int32_t message_len, const char* password,
                       int32_t password_len, char* out, int32_t out_cap);

/*
 * De-Secure: the secured text is found in text as a mail or a chat gave it
 * back (wrapped, quoted, indented, fenced, with invisible characters); the
 * result is what the box then holds (the message, "ERR", "ERR2" or
 * "VBError: ..."). Every result comes with *outcome, what the status line
 * says beside it:
 *   HN_OK                the secured text was whole and reads as a message;
 *   HN_WRONG_PASSWORD    it was whole, and the result reads as the noise of a
 *                        wrong password;
 *   HN_CHANGED_TEXT      it was a few characters short or long against its
 *                        header: de-secured anyway, the result likely wrong;
 *   HN_NOT_SECURED_TEXT  text holds no secured text: read as it always was,
 *                        line breaks joined, which gives "ERR", "ERR2" or noise.
 * A character the code page lacks refuses text with -HN_FAILED.
 * out: at least 3 * text_len + 16 bytes.
 */
int32_t hn_desecure_text(const char* text, int32_t text_len, const char* password,
                         int32_t password_len, char* out, int32_t out_cap, int32_t* outcome);

/*
 * Copy for Chat: the secured text that text holds, found as De-Secure finds
 * it, inside a Markdown code fence of three backticks on lines of their own,
 * the form chats that format text leave alone. -HN_NOT_SECURED_TEXT when text
 * holds no whole secured text (none, or one a few characters off).
 * out: at least text_len + 8 bytes.
 */
int32_t hn_chat_form(const char* text, int32_t text_len, char* out, int32_t out_cap);

/*
 * The download name for a file's output: "report.pdf" secures to
 * "report.pdf.hush"; "report.pdf.hush" de-secures to "report.pdf", any other
 * name to name + ".de-secured". out: at least name_len + 12 bytes.
 */
int32_t hn_output_name(int32_t securing, const char* name, int32_t name_len, char* out,
                       int32_t out_cap);

/*
 * 1 when a file of size bytes should be de-secured rather than secured: its
 * name ends in ".hush", its first bytes (head, up to 16 of them) open with a
 * length header, or it is what an empty file secures to, "????????" (line
 * breaks after it allowed), all of it in head.
 */
int32_t hn_file_is_secured(const char* name, int32_t name_len, const uint8_t* head,
                           int32_t head_len, double size);

/*
 * Starts securing (securing = 1) or de-securing a file of size bytes named
 * name, with the password. Refuses a blank password and, when securing, more
 * than 16,777,215 bytes. Securing writes the 8-character header.
 * out: at least 8 bytes.
 */
int32_t hn_file_begin(int32_t securing, const char* name, int32_t name_len, double size,
                      const char* password, int32_t password_len, char* out, int32_t out_cap);

/*
 * The next piece of the file, in order. Securing: every piece but the last a
 * multiple of 3 bytes; out: at least (in_len / 3 + 1) * 4 bytes. De-securing:
 * any length; out: at least in_len + 4 bytes. The output is made in out
 * itself: a de-secured piece is deciphered there and nowhere else, so the
 * caller wipes out when the file is done. Between pieces the engine keeps one
 * piece's worth of memory, never clear bytes, until hn_file_end. A negative
 * value (-HN_NOT_SECURED, or -HN_FAILED for too small an out) ends the file:
 * the keystream is wiped at once.
 */
int32_t hn_file_piece(const uint8_t* in, int32_t in_len, uint8_t* out, int32_t out_cap);

/*
 * Ends the file: writes what is left (out: at least 4 bytes) and wipes the
 * keystream. -HN_NOT_SECURED: nothing of the output may be kept. Otherwise
 * *outcome is HN_OK, or HN_DAMAGED when the file held less than its header
 * gives: the output is what it held, and is kept.
 */
int32_t hn_file_end(uint8_t* out, int32_t out_cap, int32_t* outcome);

#ifdef __cplusplus
}
#endif

#endif
